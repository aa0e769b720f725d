#include "statements/SetOption.h"

#include <algorithm>

#include "Parser.h"
#include "Sessions.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

// SET options that take ON or OFF.
const char* const kOnOffOptions[] = {"QUOTED_IDENTIFIER",
                                     "ANSI_NULLS",
                                     "ANSI_WARNINGS",
                                     "ANSI_PADDING",
                                     "ARITHABORT",
                                     "ARITHIGNORE",
                                     "NUMERIC_ROUNDABORT",
                                     "CONCAT_NULL_YIELDS_NULL",
                                     "CURSOR_CLOSE_ON_COMMIT",
                                     "IMPLICIT_TRANSACTIONS",
                                     "NOCOUNT",
                                     "XACT_ABORT",
                                     "ANSI_NULL_DFLT_ON",
                                     "ANSI_NULL_DFLT_OFF",
                                     "ANSI_DEFAULTS",
                                     "FMTONLY",
                                     "NOEXEC",
                                     "PARSEONLY",
                                     "SHOWPLAN_TEXT",
                                     "SHOWPLAN_ALL",
                                     "FORCEPLAN",
                                     "REMOTE_PROC_TRANSACTIONS",
                                     "NO_BROWSETABLE",
                                     "STATISTICS"};

// SET options that take a value.
const char* const kValueOptions[] = {
    "TEXTSIZE",     "LANGUAGE", "DATEFORMAT",        "DATEFIRST",
    "LOCK_TIMEOUT", "ROWCOUNT", "DEADLOCK_PRIORITY", "QUERY_GOVERNOR_COST_LIMIT",
    "CONTEXT_INFO"};

bool inList(const std::string& u, const char* const* begin, const char* const* end) {
    return std::any_of(begin, end, [&](const char* k) { return u == k; });
}

}  // namespace

SetStatement SetOption::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    const SqlToken& first = c.peek();
    if (first.kind == SqlToken::Kind::Word && first.text[0] == '@') c.undeclared(first);
    if (first.isWord("TRANSACTION")) return isolation(p);
    if (first.kind != SqlToken::Kind::Word) c.failHere();
    const std::string u = TokenCursor::upper(first.text);
    if (inList(u, std::begin(kValueOptions), std::end(kValueOptions))) return value(p, u);
    SetStatement s;
    do {
        const SqlToken& o = c.peek();
        if (o.kind != SqlToken::Kind::Word) c.failHere();
        const std::string ou = TokenCursor::upper(o.text);
        if (!inList(ou, std::begin(kOnOffOptions), std::end(kOnOffOptions))) {
            throw ParseFailure{TokenCursor::compileError(
                195, "'" + o.text + "' is not a recognized SET option.", o.line)};
        }
        c.skip();
        if (ou == "STATISTICS") {
            // SET STATISTICS IO|TIME|PROFILE ON
            if (c.peek().kind != SqlToken::Kind::Word) c.failHere();
            c.skip();
        }
        s.options.push_back(ou);
    } while (c.acceptSymbol(","));
    if (c.acceptWord("ON")) {
        s.value = "ON";
    } else if (c.acceptWord("OFF")) {
        s.value = "OFF";
    } else {
        c.failHere();
    }
    return s;
}

Outcome SetOption::run(const SetStatement& s, StatementContext& c) {
    for (const std::string& o : s.options) {
        if (o == "NOCOUNT") c.session.nocount = s.value == "ON";
    }
    Outcome out;
    out.tokens.push_back(Outcome::done());
    return out;
}

// SET TRANSACTION ISOLATION LEVEL ...
SetStatement SetOption::isolation(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("ISOLATION");
    c.expectWord("LEVEL");
    SetStatement s;
    s.options.push_back("TRANSACTION ISOLATION LEVEL");
    if (c.acceptWord("READ")) {
        if (c.acceptWord("COMMITTED")) {
            s.value = "READ COMMITTED";
        } else if (c.acceptWord("UNCOMMITTED")) {
            s.value = "READ UNCOMMITTED";
        } else {
            c.failHere();
        }
    } else if (c.acceptWord("REPEATABLE")) {
        c.expectWord("READ");
        s.value = "REPEATABLE READ";
    } else if (c.acceptWord("SERIALIZABLE")) {
        s.value = "SERIALIZABLE";
    } else {
        c.failHere();
    }
    return s;
}

// SET TEXTSIZE n, SET LANGUAGE x, ...: options that take a value.
SetStatement SetOption::value(Parser& p, const std::string& option) {
    TokenCursor& c = p.cursor();
    c.skip();
    SetStatement s;
    s.options.push_back(option);
    const SqlToken& v = c.peek();
    if (v.isSymbol("-") && c.peek(1).kind == SqlToken::Kind::Number) {
        c.skip();
        s.value = "-" + c.next().text;
    } else if (v.kind == SqlToken::Kind::Number || v.kind == SqlToken::Kind::String ||
               v.kind == SqlToken::Kind::NString || v.kind == SqlToken::Kind::Quoted ||
               (v.kind == SqlToken::Kind::Word && v.text[0] != '@')) {
        s.value = c.next().value;
    } else {
        c.failHere();
    }
    return s;
}

}  // namespace standin
