#include "StatementParser.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

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

// ---- SELECT ---------------------------------------------------------------------------------

StatementBody StatementParser::select() {
    ++pos_;
    SelectStatement s;
    if (acceptWord("TOP")) {
        const SqlToken& n = next();
        if (n.kind != SqlToken::Kind::Number ||
            n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18)
            failAt(n);
        s.top = std::strtoll(n.text.c_str(), nullptr, 10);
    }
    const SqlToken& first = peek();
    do {
        s.items.push_back(selectItem());
    } while (acceptSymbol(","));
    const auto assigning = [](const SelectItem& i) { return !i.assignTo.empty(); };
    s.assigns = std::any_of(s.items.begin(), s.items.end(), assigning);
    if (s.assigns && !std::all_of(s.items.begin(), s.items.end(), assigning)) {
        throw ParseFailure{compileError(141,
                                        "A SELECT statement that assigns a value to a variable "
                                        "must not be combined with data-retrieval operations.",
                                        first.line)};
    }
    if (acceptWord("FROM")) s.from = objectName();
    if (acceptWord("WHERE")) {
        s.where = expr(0);
        if (!s.where->isPredicate()) failHere();
    }
    if (acceptWord("ORDER")) orderBy(s);
    return s;
}

SelectItem StatementParser::selectItem() {
    SelectItem item;
    if (acceptSymbol("*")) {
        item.star = true;
        return item;
    }
    if (atVariable() && peek(1).isSymbol("=")) {
        // SELECT @v = expression: assigns, takes no alias.
        item.assignTo = variable();
        ++pos_;
        item.expr = expr(0);
        if (item.expr.isPredicate()) failAt(toks_[pos_ - 1]);
        return item;
    }
    const size_t start = pos_;
    item.expr = expr(0);
    if (item.expr.kind == Expr::Kind::Column && pos_ == start + 1)
        item.written = toks_[start].value;
    else if (item.expr.kind == Expr::Kind::Column)
        item.written = item.expr.name;
    if (item.expr.isPredicate()) failAt(toks_[pos_ - 1]);
    if (acceptWord("AS")) {
        const SqlToken& a = peek();
        if (a.kind == SqlToken::Kind::String || a.kind == SqlToken::Kind::NString) {
            item.alias = next().value;
        } else {
            item.alias = name();
        }
        item.hasAlias = true;
    } else if (atName() || peek().kind == SqlToken::Kind::String) {
        item.alias = next().value;
        item.hasAlias = true;
    }
    return item;
}

void StatementParser::orderBy(SelectStatement& s) {
    expectWord("BY");
    do {
        OrderItem o;
        if (peek().kind == SqlToken::Kind::Number) {
            const SqlToken& n = next();
            char* endp = nullptr;
            errno = 0;
            const long v = std::strtol(n.text.c_str(), &endp, 10);
            if (*endp != '\0' || errno != 0 || v < 1 || v > 4096) failAt(n);
            o.position = static_cast<int>(v);
        } else {
            ObjectName col = objectName();
            o.column = col.object;
        }
        if (acceptWord("DESC")) {
            o.descending = true;
        } else {
            acceptWord("ASC");
        }
        s.orderBy.push_back(std::move(o));
    } while (acceptSymbol(","));
}

// ---- SET, USE, transactions -----------------------------------------------------------------

StatementBody StatementParser::set() {
    ++pos_;
    const SqlToken& first = peek();
    if (first.kind == SqlToken::Kind::Word && first.text[0] == '@') undeclared(first);
    if (first.isWord("TRANSACTION")) return setIsolation();
    if (first.kind != SqlToken::Kind::Word) failHere();
    const std::string u = upper(first.text);
    if (inList(u, std::begin(kValueOptions), std::end(kValueOptions))) return setValue(u);
    SetStatement s;
    do {
        const SqlToken& o = peek();
        if (o.kind != SqlToken::Kind::Word) failHere();
        const std::string ou = upper(o.text);
        if (!inList(ou, std::begin(kOnOffOptions), std::end(kOnOffOptions))) {
            throw ParseFailure{
                compileError(195, "'" + o.text + "' is not a recognized SET option.", o.line)};
        }
        ++pos_;
        if (ou == "STATISTICS") {
            // SET STATISTICS IO|TIME|PROFILE ON
            if (peek().kind != SqlToken::Kind::Word) failHere();
            ++pos_;
        }
        s.options.push_back(ou);
    } while (acceptSymbol(","));
    if (acceptWord("ON")) {
        s.value = "ON";
    } else if (acceptWord("OFF")) {
        s.value = "OFF";
    } else {
        failHere();
    }
    return s;
}

// SET TRANSACTION ISOLATION LEVEL ...
StatementBody StatementParser::setIsolation() {
    ++pos_;
    expectWord("ISOLATION");
    expectWord("LEVEL");
    SetStatement s;
    s.options.push_back("TRANSACTION ISOLATION LEVEL");
    if (acceptWord("READ")) {
        if (acceptWord("COMMITTED")) {
            s.value = "READ COMMITTED";
        } else if (acceptWord("UNCOMMITTED")) {
            s.value = "READ UNCOMMITTED";
        } else {
            failHere();
        }
    } else if (acceptWord("REPEATABLE")) {
        expectWord("READ");
        s.value = "REPEATABLE READ";
    } else if (acceptWord("SERIALIZABLE")) {
        s.value = "SERIALIZABLE";
    } else {
        failHere();
    }
    return s;
}

// SET TEXTSIZE n, SET LANGUAGE x, ...: options that take a value.
StatementBody StatementParser::setValue(const std::string& option) {
    ++pos_;
    SetStatement s;
    s.options.push_back(option);
    const SqlToken& v = peek();
    if (v.isSymbol("-") && peek(1).kind == SqlToken::Kind::Number) {
        ++pos_;
        s.value = "-" + next().text;
    } else if (v.kind == SqlToken::Kind::Number || v.kind == SqlToken::Kind::String ||
               v.kind == SqlToken::Kind::NString || v.kind == SqlToken::Kind::Quoted ||
               (v.kind == SqlToken::Kind::Word && v.text[0] != '@')) {
        s.value = next().value;
    } else {
        failHere();
    }
    return s;
}

StatementBody StatementParser::use() {
    ++pos_;
    UseStatement u;
    u.database = name();
    return u;
}

StatementBody StatementParser::endTransaction(bool onlyIfOpen) {
    TransactionStatement ts;
    ts.kind = next().isWord("COMMIT") ? TransactionStatement::Kind::Commit
                                      : TransactionStatement::Kind::Rollback;
    ts.onlyIfOpen = onlyIfOpen;
    if (acceptWord("TRAN") || acceptWord("TRANSACTION") || acceptWord("WORK")) {
        if (atName()) name();
    }
    return ts;
}

// ---- CREATE DATABASE ------------------------------------------------------------------------

StatementBody StatementParser::createDatabase() {
    ++pos_;
    expectWord("DATABASE");
    CreateDatabaseStatement c;
    c.name = name();
    if (acceptWord("ON")) {
        int group = 1;
        acceptWord("PRIMARY");
        do {
            if (acceptWord("FILEGROUP")) {
                name();
                ++group;
            }
            FileSpec f = fileSpec();
            f.groupId = group;
            c.dataFiles.push_back(std::move(f));
        } while (acceptSymbol(","));
    }
    if (acceptWord("LOG")) {
        expectWord("ON");
        do {
            FileSpec f = fileSpec();
            f.groupId = 0;
            c.logFiles.push_back(std::move(f));
        } while (acceptSymbol(","));
    }
    if (acceptWord("COLLATE")) name();
    if (acceptWord("FOR")) {
        expectWord("ATTACH");
        c.forAttach = true;
    }
    return c;
}

FileSpec StatementParser::fileSpec() {
    expectSymbol("(");
    FileSpec f;
    do {
        const SqlToken& key = peek();
        if (key.isWord("NAME")) {
            ++pos_;
            expectSymbol("=");
            const SqlToken& v = peek();
            if (v.kind == SqlToken::Kind::String || v.kind == SqlToken::Kind::NString)
                f.logicalName = next().value;
            else
                f.logicalName = name();
            f.hasName = true;
        } else if (key.isWord("FILENAME")) {
            ++pos_;
            expectSymbol("=");
            const SqlToken& v = next();
            if (v.kind != SqlToken::Kind::String && v.kind != SqlToken::Kind::NString) failAt(v);
            f.fileName = v.value;
            f.hasFileName = true;
        } else if (key.isWord("SIZE")) {
            ++pos_;
            expectSymbol("=");
            f.sizeKb = sizeValue(false, nullptr);
        } else if (key.isWord("MAXSIZE")) {
            ++pos_;
            expectSymbol("=");
            if (acceptWord("UNLIMITED"))
                f.maxSizeKb = -1;
            else
                f.maxSizeKb = sizeValue(false, nullptr);
        } else if (key.isWord("FILEGROWTH")) {
            ++pos_;
            expectSymbol("=");
            f.growth = sizeValue(true, &f.growthPercent);
        } else {
            failHere();
        }
    } while (acceptSymbol(","));
    expectSymbol(")");
    return f;
}

// n [KB|MB|GB|TB|%] in kilobytes; megabytes when no unit is given.
int64_t StatementParser::sizeValue(bool allowPercent, bool* percent) {
    const SqlToken& n = next();
    if (n.kind != SqlToken::Kind::Number ||
        n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 12)
        failAt(n);
    int64_t v = std::strtoll(n.text.c_str(), nullptr, 10);
    int64_t factor = 1024;
    if (acceptWord("KB")) {
        factor = 1;
    } else if (acceptWord("MB")) {
        factor = 1024;
    } else if (acceptWord("GB")) {
        factor = 1024 * 1024;
    } else if (acceptWord("TB")) {
        factor = int64_t{1024} * 1024 * 1024;
    } else if (allowPercent && acceptSymbol("%")) {
        *percent = true;
        return v;
    }
    if (v > std::numeric_limits<int64_t>::max() / factor) failAt(n);
    return v * factor;
}

// ---- DBCC and procedure arguments -----------------------------------------------------------

StatementBody StatementParser::dbcc() {
    ++pos_;
    DbccStatement d;
    const SqlToken& cmd = peek();
    if (cmd.kind != SqlToken::Kind::Word) failHere();
    d.command = upper(next().text);
    if (acceptSymbol("(")) {
        if (!peek().isSymbol(")")) {
            do {
                d.args.push_back(argValue());
            } while (acceptSymbol(","));
        }
        expectSymbol(")");
    }
    if (acceptWord("WITH")) {
        do {
            const SqlToken& o = next();
            if (o.kind != SqlToken::Kind::Word) failAt(o);
            d.withOptions.push_back(upper(o.text));
        } while (acceptSymbol(","));
    }
    return d;
}

ArgValue StatementParser::argValue() {
    const SqlToken& t = peek();
    ArgValue v;
    if (t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString) {
        v.kind = ArgValue::Kind::Text;
        v.unicode = t.kind == SqlToken::Kind::NString;
        v.text = next().value;
        return v;
    }
    const bool negative = t.isSymbol("-") && peek(1).kind == SqlToken::Kind::Number;
    if (negative || t.kind == SqlToken::Kind::Number) {
        if (negative) ++pos_;
        const SqlToken& n = next();
        if (n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18) {
            v.kind = ArgValue::Kind::Text;
            v.text = (negative ? "-" : "") + n.text;
            return v;
        }
        v.kind = ArgValue::Kind::Integer;
        v.number = std::strtoll(n.text.c_str(), nullptr, 10) * (negative ? -1 : 1);
        v.text = (negative ? "-" : "") + n.text;
        return v;
    }
    if (t.isWord("DEFAULT")) {
        ++pos_;
        v.kind = ArgValue::Kind::Default;
        return v;
    }
    if (t.isWord("NULL")) {
        ++pos_;
        v.kind = ArgValue::Kind::Null;
        return v;
    }
    if (atVariable() && declared(t.text)) {
        v.kind = ArgValue::Kind::Variable;
        v.text = next().text;
        return v;
    }
    if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
    // A bare or [quoted] identifier stands for its own text as a character value.
    v.kind = ArgValue::Kind::Text;
    v.text = name();
    return v;
}

bool StatementParser::atArgValue() const {
    const SqlToken& t = peek();
    return t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString ||
           t.kind == SqlToken::Kind::Number || t.kind == SqlToken::Kind::Quoted ||
           (t.isSymbol("-") && peek(1).kind == SqlToken::Kind::Number) || t.isWord("DEFAULT") ||
           t.isWord("NULL") || (t.kind == SqlToken::Kind::Word && !t.isKeyword());
}

// ---- EXEC -----------------------------------------------------------------------------------

StatementBody StatementParser::exec() {
    ExecStatement e;
    // EXEC @status = proc and EXEC @procedure are not served.
    if (atVariable() && declared(peek().text)) failHere();
    if (peek().kind == SqlToken::Kind::Word && peek().text[0] == '@') undeclared(peek());
    ObjectName proc = objectName();
    e.database = proc.database;
    e.owner = proc.owner;
    e.procedure = proc.object;
    e.written = proc.written;
    if (atArgValue()) {
        do {
            ProcArg a;
            const SqlToken& t = peek();
            if (t.kind == SqlToken::Kind::Word && t.text[0] == '@' && peek(1).isSymbol("=")) {
                a.parameter = t.text;
                pos_ += 2;
            }
            a.value = argValue();
            // OUTPUT parameters are not served.
            if (acceptWord("OUTPUT") || acceptWord("OUT")) failAt(toks_[pos_ - 1]);
            e.args.push_back(std::move(a));
        } while (acceptSymbol(","));
    }
    return e;
}

// ---- BACKUP LOG, ALTER DATABASE -------------------------------------------------------------

StatementBody StatementParser::backupLog() {
    ++pos_;
    expectWord("LOG");
    BackupLogStatement b;
    b.database = name();
    expectWord("WITH");
    const SqlToken& option = peek();
    if (acceptWord("TRUNCATE_ONLY")) {
        b.option = "TRUNCATE_ONLY";
    } else if (acceptWord("NO_LOG")) {
        b.option = "NO_LOG";
    } else {
        failHere();
    }
    // Gone from SQL Server 2008 on: the whole batch is refused before anything runs.
    if (!version_.has(ReleaseRule::TruncateOnly)) {
        throw ParseFailure{compileError(
            155, "'" + option.text + "' is not a recognized BACKUP option.", option.line)};
    }
    return b;
}

StatementBody StatementParser::alterDatabase() {
    ++pos_;
    expectWord("DATABASE");
    AlterDatabaseStatement a;
    a.database = name();
    expectWord("SET");
    expectWord("RECOVERY");
    for (const char* model : {"FULL", "BULK_LOGGED", "SIMPLE"}) {
        if (acceptWord(model)) a.recovery = model;
    }
    if (a.recovery.empty()) failHere();
    if (acceptWord("WITH")) {
        // WITH NO_WAIT | ROLLBACK IMMEDIATE | ROLLBACK AFTER n [SECONDS]
        if (acceptWord("ROLLBACK")) {
            if (acceptWord("AFTER")) {
                if (peek().kind != SqlToken::Kind::Number) failHere();
                ++pos_;
                acceptWord("SECONDS");
            } else {
                expectWord("IMMEDIATE");
            }
        } else {
            expectWord("NO_WAIT");
        }
    }
    return a;
}

}  // namespace standin
