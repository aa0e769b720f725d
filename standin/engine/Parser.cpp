#include "Parser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace standin {

namespace {

// A compile error found while parsing; ends the parse of the whole batch.
struct ParseFailure {
    Message message;
};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

Message compileError(int32_t number, std::string text, uint16_t line) {
    Message m;
    m.number = number;
    m.severity = 15;
    m.state = 1;
    m.text = std::move(text);
    m.line = line;
    return m;
}

const char* const kFunctions[] = {"DB_NAME",        "DB_ID",   "SUSER_SNAME", "USER_NAME",
                                  "SERVERPROPERTY", "GETDATE", "COUNT",       "DATABASEPROPERTYEX"};

const char* const kVariables[] = {"@@VERSION",       "@@SPID",        "@@TRANCOUNT", "@@SERVERNAME",
                                  "@@LANGUAGE",      "@@ERROR",       "@@ROWCOUNT",  "@@TEXTSIZE",
                                  "@@MAX_PRECISION", "@@SERVICENAME", "@@OPTIONS"};

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

constexpr int kMaxDepth = 256;

class BatchParser {
public:
    BatchParser(std::vector<SqlToken> tokens, const ServerVersion& version)
        : toks_(std::move(tokens)), version_(version) {}

    std::vector<Statement> run() {
        std::vector<Statement> out;
        while (peek().kind != SqlToken::Kind::End) {
            if (peek().isSymbol(";")) {
                ++pos_;
                continue;
            }
            Statement st;
            st.line = peek().line;
            st.body = statement(out.empty());
            out.push_back(std::move(st));
        }
        return out;
    }

private:
    const SqlToken& peek(size_t ahead = 0) const {
        const size_t i = std::min(pos_ + ahead, toks_.size() - 1);
        return toks_[i];
    }
    const SqlToken& next() {
        const SqlToken& t = toks_[std::min(pos_, toks_.size() - 1)];
        if (pos_ < toks_.size() - 1) ++pos_;
        return t;
    }

    [[noreturn]] void failAt(const SqlToken& tok) {
        if (tok.kind == SqlToken::Kind::End) {
            // At the end of the text the server names the last token it read.
            if (toks_.size() >= 2) throw ParseFailure{Parser::syntaxError(toks_[toks_.size() - 2])};
        }
        throw ParseFailure{Parser::syntaxError(tok)};
    }
    [[noreturn]] void failHere() { failAt(peek()); }

    void expectSymbol(const char* s) {
        if (!peek().isSymbol(s)) failHere();
        ++pos_;
    }
    void expectWord(const char* w) {
        if (!peek().isWord(w)) failHere();
        ++pos_;
    }
    bool acceptSymbol(const char* s) {
        if (!peek().isSymbol(s)) return false;
        ++pos_;
        return true;
    }
    bool acceptWord(const char* w) {
        if (!peek().isWord(w)) return false;
        ++pos_;
        return true;
    }

    [[noreturn]] void undeclared(const SqlToken& tok) {
        throw ParseFailure{
            compileError(137, "Must declare the variable '" + tok.text + "'.", tok.line)};
    }

    // An identifier: a non-reserved word or a [quoted] one.
    std::string name() {
        const SqlToken& t = peek();
        if (t.kind == SqlToken::Kind::Quoted) {
            ++pos_;
            return t.value;
        }
        if (t.kind == SqlToken::Kind::Word && !t.isKeyword() && t.text[0] != '@') {
            ++pos_;
            return t.value;
        }
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
        failHere();
    }
    bool atName() const {
        const SqlToken& t = peek();
        return t.kind == SqlToken::Kind::Quoted ||
               (t.kind == SqlToken::Kind::Word && !t.isKeyword() && t.text[0] != '@');
    }

    ObjectName objectName() {
        std::vector<std::string> parts;
        std::string written;
        parts.push_back(name());
        written = toks_[pos_ - 1].text;
        while (peek().isSymbol(".")) {
            ++pos_;
            written += ".";
            if (peek().isSymbol(".")) {
                parts.push_back("");
                continue;
            }
            parts.push_back(name());
            written += toks_[pos_ - 1].text;
        }
        if (parts.size() > 3) {
            throw ParseFailure{compileError(
                117,
                "The object name '" + written +
                    "' contains more than the maximum number of prefixes. The maximum is 2.",
                peek().line)};
        }
        ObjectName o;
        o.written = written;
        o.object = parts.back();
        if (parts.size() >= 2) o.owner = parts[parts.size() - 2];
        if (parts.size() == 3) o.database = parts[0];
        return o;
    }

    StatementBody statement(bool first) {
        const SqlToken& t = peek();
        if (t.isWord("SELECT")) return select();
        if (t.isWord("SET")) return set();
        if (t.isWord("USE")) {
            ++pos_;
            UseStatement u;
            u.database = name();
            return u;
        }
        if (t.isWord("CREATE")) return createDatabase();
        if (t.isWord("DBCC")) return dbcc();
        if (t.isWord("EXEC") || t.isWord("EXECUTE")) {
            ++pos_;
            return exec();
        }
        if (t.isWord("BACKUP")) return backupLog();
        if (t.isWord("ALTER")) return alterDatabase();
        if (t.isWord("CHECKPOINT")) {
            ++pos_;
            if (peek().kind == SqlToken::Kind::Number) ++pos_;  // CHECKPOINT duration
            return CheckpointStatement{};
        }
        if (t.isWord("BEGIN")) {
            ++pos_;
            if (!acceptWord("TRAN") && !acceptWord("TRANSACTION")) failHere();
            if (atName()) name();
            return TransactionStatement{TransactionStatement::Kind::Begin, false};
        }
        if (t.isWord("COMMIT") || t.isWord("ROLLBACK")) return endTransaction(false);
        if (t.isWord("IF")) {
            // Only the form client libraries send to end a transaction is understood.
            ++pos_;
            if (!peek().isWord("@@TRANCOUNT")) failHere();
            ++pos_;
            expectSymbol(">");
            if (peek().kind != SqlToken::Kind::Number || peek().text != "0") failHere();
            ++pos_;
            if (!peek().isWord("COMMIT") && !peek().isWord("ROLLBACK")) failHere();
            return endTransaction(true);
        }
        if (t.isWord("PRINT")) {
            ++pos_;
            const SqlToken& v = next();
            if (v.kind != SqlToken::Kind::String && v.kind != SqlToken::Kind::NString &&
                v.kind != SqlToken::Kind::Number)
                failAt(v);
            return PrintStatement{v.value};
        }
        if (first && atName()) return exec();
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
        failHere();
    }

    StatementBody endTransaction(bool onlyIfOpen) {
        TransactionStatement ts;
        ts.kind = next().isWord("COMMIT") ? TransactionStatement::Kind::Commit
                                          : TransactionStatement::Kind::Rollback;
        ts.onlyIfOpen = onlyIfOpen;
        if (acceptWord("TRAN") || acceptWord("TRANSACTION") || acceptWord("WORK")) {
            if (atName()) name();
        }
        return ts;
    }

    // ---- SELECT -------------------------------------------------------------------------------

    StatementBody select() {
        ++pos_;
        SelectStatement s;
        if (acceptWord("TOP")) {
            const SqlToken& n = next();
            if (n.kind != SqlToken::Kind::Number ||
                n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18)
                failAt(n);
            s.top = std::strtoll(n.text.c_str(), nullptr, 10);
        }
        do {
            SelectItem item;
            if (acceptSymbol("*")) {
                item.star = true;
            } else {
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
            }
            s.items.push_back(std::move(item));
        } while (acceptSymbol(","));

        if (acceptWord("FROM")) s.from = objectName();
        if (acceptWord("WHERE")) {
            s.where = expr(0);
            if (!s.where->isPredicate()) failHere();
        }
        if (acceptWord("ORDER")) {
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
        return s;
    }

    // Precedence climbing: OR < AND < NOT < comparison < primary.
    Expr expr(int depth) {
        guard(depth);
        Expr left = andExpr(depth + 1);
        while (acceptWord("OR")) {
            Expr e;
            e.kind = Expr::Kind::Or;
            e.args.push_back(std::move(left));
            e.args.push_back(andExpr(depth + 1));
            left = std::move(e);
        }
        return left;
    }

    Expr andExpr(int depth) {
        guard(depth);
        Expr left = notExpr(depth + 1);
        while (acceptWord("AND")) {
            Expr e;
            e.kind = Expr::Kind::And;
            e.args.push_back(std::move(left));
            e.args.push_back(notExpr(depth + 1));
            left = std::move(e);
        }
        return left;
    }

    Expr notExpr(int depth) {
        guard(depth);
        if (acceptWord("NOT")) {
            Expr e;
            e.kind = Expr::Kind::Not;
            e.args.push_back(notExpr(depth + 1));
            if (!e.args[0].isPredicate()) failHere();
            return e;
        }
        return comparison(depth + 1);
    }

    Expr comparison(int depth) {
        guard(depth);
        Expr left = primary(depth + 1);
        static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
        for (const char* op : ops) {
            if (peek().isSymbol(op)) {
                ++pos_;
                Expr e;
                e.kind = Expr::Kind::Compare;
                const std::string o = op;
                e.op = o == "!=" ? "<>" : o == "!<" ? ">=" : o == "!>" ? "<=" : o;
                e.args.push_back(std::move(left));
                e.args.push_back(primary(depth + 1));
                if (e.args[0].isPredicate() || e.args[1].isPredicate()) failAt(toks_[pos_ - 1]);
                return e;
            }
        }
        if (peek().isWord("IS")) {
            ++pos_;
            Expr e;
            e.kind = Expr::Kind::IsNull;
            e.negated = acceptWord("NOT");
            expectWord("NULL");
            e.args.push_back(std::move(left));
            return e;
        }
        if (peek().isWord("IN") || (peek().isWord("NOT") && peek(1).isWord("IN"))) {
            Expr e;
            e.kind = Expr::Kind::In;
            e.negated = acceptWord("NOT");
            expectWord("IN");
            expectSymbol("(");
            e.args.push_back(std::move(left));
            do {
                e.args.push_back(primary(depth + 1));
                if (e.args.back().isPredicate()) failAt(toks_[pos_ - 1]);
            } while (acceptSymbol(","));
            expectSymbol(")");
            return e;
        }
        if (peek().isWord("LIKE") || (peek().isWord("NOT") && peek(1).isWord("LIKE"))) {
            Expr e;
            e.kind = Expr::Kind::Like;
            e.negated = acceptWord("NOT");
            expectWord("LIKE");
            e.args.push_back(std::move(left));
            e.args.push_back(primary(depth + 1));
            return e;
        }
        return left;
    }

    Expr primary(int depth) {
        guard(depth);
        const SqlToken& t = peek();
        Expr e;
        if (t.isSymbol("(")) {
            ++pos_;
            e = expr(depth + 1);
            expectSymbol(")");
            return e;
        }
        if (t.isSymbol("-") && peek(1).kind == SqlToken::Kind::Number) {
            ++pos_;
            e = number(next(), true);
            return e;
        }
        if (t.kind == SqlToken::Kind::Number) return number(next(), false);
        if (t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString) {
            e.kind = Expr::Kind::Text;
            e.text = next().value;
            return e;
        }
        if (t.isWord("NULL")) {
            ++pos_;
            e.kind = Expr::Kind::Null;
            return e;
        }
        if (t.kind == SqlToken::Kind::Word && t.text.rfind("@@", 0) == 0) {
            const std::string u = upper(t.text);
            if (!inList(u, std::begin(kVariables), std::end(kVariables))) undeclared(t);
            ++pos_;
            e.kind = Expr::Kind::Variable;
            e.name = u;
            return e;
        }
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
        if ((t.kind == SqlToken::Kind::Word || t.kind == SqlToken::Kind::Quoted) &&
            peek(1).isSymbol("(") && !t.isKeyword()) {
            const std::string u = upper(t.value);
            if (!inList(u, std::begin(kFunctions), std::end(kFunctions))) {
                throw ParseFailure{compileError(
                    195, "'" + t.value + "' is not a recognized function name.", t.line)};
            }
            pos_ += 2;
            e.kind = Expr::Kind::Function;
            e.name = u;
            if (u == "COUNT" && acceptSymbol("*")) {
                e.text = "*";
            } else if (!peek().isSymbol(")")) {
                do {
                    e.args.push_back(expr(depth + 1));
                } while (acceptSymbol(","));
            }
            expectSymbol(")");
            return e;
        }
        if (atName()) {
            ObjectName col = objectName();
            e.kind = Expr::Kind::Column;
            e.name = col.object;
            return e;
        }
        failHere();
    }

    Expr number(const SqlToken& t, bool negative) {
        Expr e;
        const std::string digits = (negative ? "-" : "") + t.text;
        if (t.text.find_first_not_of("0123456789") == std::string::npos) {
            errno = 0;
            char* endp = nullptr;
            const long long v = std::strtoll(digits.c_str(), &endp, 10);
            if (errno == 0 && *endp == '\0') {
                e.kind = Expr::Kind::Integer;
                e.number = v;
                return e;
            }
        }
        // Decimals and out-of-range numbers are carried as their text.
        e.kind = Expr::Kind::Text;
        e.text = digits;
        return e;
    }

    void guard(int depth) {
        if (depth > kMaxDepth) {
            throw ParseFailure{compileError(191,
                                            "Some part of your SQL statement is nested too "
                                            "deeply. Rewrite the query or break it up into "
                                            "smaller queries.",
                                            peek().line)};
        }
    }

    // ---- SET ----------------------------------------------------------------------------------

    StatementBody set() {
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
    StatementBody setIsolation() {
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
    StatementBody setValue(const std::string& option) {
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

    // ---- CREATE DATABASE ----------------------------------------------------------------------

    StatementBody createDatabase() {
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

    FileSpec fileSpec() {
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
                if (v.kind != SqlToken::Kind::String && v.kind != SqlToken::Kind::NString)
                    failAt(v);
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
    int64_t sizeValue(bool allowPercent, bool* percent) {
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

    // ---- DBCC ---------------------------------------------------------------------------------

    StatementBody dbcc() {
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

    ArgValue argValue() {
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
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
        // A bare or [quoted] identifier stands for its own text as a character value.
        v.kind = ArgValue::Kind::Text;
        v.text = name();
        return v;
    }

    bool atArgValue() const {
        const SqlToken& t = peek();
        return t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString ||
               t.kind == SqlToken::Kind::Number || t.kind == SqlToken::Kind::Quoted ||
               (t.isSymbol("-") && peek(1).kind == SqlToken::Kind::Number) || t.isWord("DEFAULT") ||
               t.isWord("NULL") || (t.kind == SqlToken::Kind::Word && !t.isKeyword());
    }

    // ---- EXEC ---------------------------------------------------------------------------------

    StatementBody exec() {
        ExecStatement e;
        // EXEC @status = proc needs a declared variable, which no batch here can have.
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
                if (acceptWord("OUTPUT") || acceptWord("OUT")) {
                    // An OUTPUT marker needs a variable, which a batch here cannot declare.
                    failAt(toks_[pos_ - 1]);
                }
                e.args.push_back(std::move(a));
            } while (acceptSymbol(","));
        }
        return e;
    }

    // ---- BACKUP LOG ---------------------------------------------------------------------------

    StatementBody backupLog() {
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
        if (!version_.hasTruncateOnly()) {
            throw ParseFailure{compileError(
                155, "'" + option.text + "' is not a recognized BACKUP option.", option.line)};
        }
        return b;
    }

    // ---- ALTER DATABASE -----------------------------------------------------------------------

    StatementBody alterDatabase() {
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

    std::vector<SqlToken> toks_;
    size_t pos_ = 0;
    ServerVersion version_;
};

}  // namespace

Message Parser::syntaxError(const SqlToken& tok) {
    Message m;
    m.severity = 15;
    m.state = 1;
    m.line = tok.line;
    const std::string shown =
        (tok.kind == SqlToken::Kind::String || tok.kind == SqlToken::Kind::NString ||
         tok.kind == SqlToken::Kind::Quoted)
            ? tok.value
            : tok.text;
    if (tok.isKeyword()) {
        m.number = 156;
        m.text = "Incorrect syntax near the keyword '" + shown + "'.";
    } else {
        m.number = 102;
        m.text = "Incorrect syntax near '" + shown + "'.";
    }
    return m;
}

ParseResult Parser::parseBatch(const std::string& sql, const ServerVersion& version) {
    ParseResult result;
    LexResult lexed = Lexer::tokenize(sql);
    if (lexed.failure) {
        Message m;
        m.number = lexed.failure->number;
        m.severity = 15;
        m.state = 1;
        m.text = lexed.failure->text;
        m.line = lexed.failure->line;
        result.failure = m;
        return result;
    }
    try {
        BatchParser p(std::move(lexed.tokens), version);
        result.statements = p.run();
    } catch (const ParseFailure& f) {
        result.failure = f.message;
        result.statements.clear();
    }
    return result;
}

}  // namespace standin
