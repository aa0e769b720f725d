#include "statements/Select.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "Instance.h"
#include "Parser.h"
#include "SelectRunner.h"
#include "Sessions.h"
#include "statements/StatementContext.h"
#include "statements/SystemTables.h"

namespace standin {

namespace {

constexpr uint16_t kCmdSelect = 0xC1;

}  // namespace

SelectStatement Select::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    SelectStatement s;
    if (c.acceptWord("TOP")) {
        const SqlToken& n = c.next();
        if (n.kind != SqlToken::Kind::Number ||
            n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18)
            c.failAt(n);
        s.top = std::strtoll(n.text.c_str(), nullptr, 10);
    }
    const SqlToken& first = c.peek();
    do {
        s.items.push_back(item(p));
    } while (c.acceptSymbol(","));
    const auto assigning = [](const SelectItem& i) { return !i.assignTo.empty(); };
    s.assigns = std::any_of(s.items.begin(), s.items.end(), assigning);
    if (s.assigns && !std::all_of(s.items.begin(), s.items.end(), assigning)) {
        throw ParseFailure{TokenCursor::compileError(
            141,
            "A SELECT statement that assigns a value to a variable must not be combined with "
            "data-retrieval operations.",
            first.line)};
    }
    if (c.acceptWord("FROM")) s.from = c.objectName();
    if (c.acceptWord("WHERE")) {
        s.where = p.expression();
        if (!s.where->isPredicate()) c.failHere();
    }
    if (c.acceptWord("ORDER")) orderBy(p, s);
    return s;
}

Outcome Select::run(const SelectStatement& s, StatementContext& c) {
    EvalContext eval = c.eval;
    eval.table = [&c](const ObjectName& name, Message& err) {
        return SystemTables::find(c.instance, name, c.session.database, err);
    };
    ResultSet rs;
    Message err;
    if (!SelectRunner::run(s, eval, rs, err)) return c.failed(err, true);
    Outcome out;
    const uint32_t n = static_cast<uint32_t>(rs.rows.size());
    if (!s.assigns) out.tokens.push_back(std::move(rs));
    out.tokens.push_back(Outcome::done(c.session.nocount ? DoneFinal : DoneCount, n, kCmdSelect));
    return out;
}

SelectItem Select::item(Parser& p) {
    TokenCursor& c = p.cursor();
    SelectItem item;
    if (c.acceptSymbol("*")) {
        item.star = true;
        return item;
    }
    if (c.atVariable() && c.peek(1).isSymbol("=")) {
        // SELECT @v = expression: assigns, takes no alias.
        item.assignTo = c.variable();
        c.skip();
        item.expr = p.expression();
        if (item.expr.isPredicate()) c.failAt(c.previous());
        return item;
    }
    item.expr = p.expression();
    if (item.expr.isPredicate()) c.failAt(c.previous());
    if (c.acceptWord("AS")) {
        const SqlToken& a = c.peek();
        if (a.kind == SqlToken::Kind::String || a.kind == SqlToken::Kind::NString) {
            item.alias = c.next().value;
        } else {
            item.alias = c.name();
        }
        item.hasAlias = true;
    } else if (c.atName() || c.peek().kind == SqlToken::Kind::String) {
        item.alias = c.next().value;
        item.hasAlias = true;
    }
    return item;
}

void Select::orderBy(Parser& p, SelectStatement& s) {
    TokenCursor& c = p.cursor();
    c.expectWord("BY");
    do {
        OrderItem o;
        if (c.peek().kind == SqlToken::Kind::Number) {
            const SqlToken& n = c.next();
            char* endp = nullptr;
            errno = 0;
            const long v = std::strtol(n.text.c_str(), &endp, 10);
            if (*endp != '\0' || errno != 0 || v < 1 || v > 4096) c.failAt(n);
            o.position = static_cast<int>(v);
        } else {
            ObjectName col = c.objectName();
            o.column = col.object;
        }
        if (c.acceptWord("DESC")) {
            o.descending = true;
        } else {
            c.acceptWord("ASC");
        }
        s.orderBy.push_back(std::move(o));
    } while (c.acceptSymbol(","));
}

}  // namespace standin
