#include "Parser.h"

#include "SqlTypes.h"
#include "StatementParser.h"

namespace standin {

namespace {

// A whole batch: its statements in order, with the procedural ones (DECLARE, SET @v, IF,
// BEGIN ... END, TRY ... CATCH, EXEC (...), RAISERROR, THROW, RETURN, PRINT) holding theirs.
class BatchParser : public StatementParser {
public:
    using StatementParser::StatementParser;

    std::vector<Statement> run() {
        std::vector<Statement> out;
        while (peek().kind != SqlToken::Kind::End) {
            if (acceptSymbol(";")) continue;
            out.push_back(statement(out.empty()));
        }
        return out;
    }

private:
    Statement statement(bool first) {
        // IF and BEGIN nest statements: the depth is bounded as for expressions.
        if (++nesting_ > 256) {
            fail(191,
                 "Some part of your SQL statement is nested too deeply. Rewrite the query "
                 "or break it up into smaller queries.");
        }
        Statement st;
        st.line = peek().line;
        st.body = body(first);
        --nesting_;
        return st;
    }

    StatementBody body(bool first) {
        const SqlToken& t = peek();
        if (t.isWord("SELECT")) return select();
        if (t.isWord("SET")) return atVariable(1) ? setVariable() : set();
        if (t.isWord("USE")) return use();
        if (t.isWord("CREATE")) return createDatabase();
        if (t.isWord("DBCC")) return dbcc();
        if (t.isWord("EXEC") || t.isWord("EXECUTE")) {
            ++pos_;
            return peek().isSymbol("(") ? execSql() : exec();
        }
        if (t.isWord("BACKUP")) return backupLog();
        if (t.isWord("ALTER")) return alterDatabase();
        if (t.isWord("CHECKPOINT")) {
            ++pos_;
            if (peek().kind == SqlToken::Kind::Number) ++pos_;  // CHECKPOINT duration
            return CheckpointStatement{};
        }
        if (t.isWord("BEGIN")) return begin();
        if (t.isWord("COMMIT") || t.isWord("ROLLBACK")) return endTransaction(false);
        if (t.isWord("IF")) return ifStatement();
        return procedural(first);
    }

    StatementBody procedural(bool first) {
        const SqlToken& t = peek();
        if (t.isWord("DECLARE")) return declare();
        if (t.isWord("PRINT")) {
            ++pos_;
            PrintStatement p{expr(0)};
            if (p.value.isPredicate()) failAt(toks_[pos_ - 1]);
            return p;
        }
        if (t.isWord("RAISERROR")) return raiserror();
        if (t.isWord("RETURN")) return returnStatement();
        if (t.isWord("THROW") && version_.has(ReleaseRule::Throw)) return throwStatement();
        // The first statement of a batch may name a procedure without EXEC.
        if (first && atName()) return exec();
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
        failHere();
    }

    // IF condition statement [ELSE statement]. The form client libraries send to end a
    // transaction keeps its own reply, as before: its COMMIT or ROLLBACK always answers.
    StatementBody ifStatement() {
        if (peek(1).isWord("@@TRANCOUNT") && peek(2).isSymbol(">") && peek(3).text == "0" &&
            (peek(4).isWord("COMMIT") || peek(4).isWord("ROLLBACK"))) {
            pos_ += 4;
            return endTransaction(true);
        }
        ++pos_;
        IfStatement s;
        s.condition = expr(0);
        if (!s.condition.isPredicate()) {
            fail(4145,
                 "An expression of non-boolean type specified in a context where a "
                 "condition is expected, near '" +
                     peek().text + "'.");
        }
        s.then.push_back(statement(false));
        if (acceptWord("ELSE")) s.otherwise.push_back(statement(false));
        return s;
    }

    // BEGIN TRAN[SACTION], BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH, BEGIN ... END.
    StatementBody begin() {
        ++pos_;
        if (acceptWord("TRAN") || acceptWord("TRANSACTION")) {
            if (atName()) name();
            return TransactionStatement{TransactionStatement::Kind::Begin, false};
        }
        // SQL Server 2000 has no TRY: the word is a syntax error there.
        if (peek().isWord("TRY") && version_.has(ReleaseRule::TryCatch)) return tryCatch();
        if (peek().isWord("TRY") || peek().isWord("CATCH")) failHere();
        BlockStatement b;
        b.body = statementsUntilEnd(nullptr, false);
        expectWord("END");
        return b;
    }

    StatementBody tryCatch() {
        ++pos_;
        TryCatchStatement s;
        s.body = statementsUntilEnd("TRY", false);
        expectWord("END");
        expectWord("TRY");
        // BEGIN CATCH follows END TRY at once.
        expectWord("BEGIN");
        expectWord("CATCH");
        ++catchDepth_;
        s.handler = statementsUntilEnd("CATCH", true);
        --catchDepth_;
        expectWord("END");
        expectWord("CATCH");
        return s;
    }

    // Statements up to END (END `word` when given); a block needs at least one but CATCH.
    std::vector<Statement> statementsUntilEnd(const char* word, bool mayBeEmpty) {
        std::vector<Statement> out;
        while (true) {
            if (acceptSymbol(";")) continue;
            if (peek().isWord("END") && (!word || peek(1).isWord(word))) break;
            if (peek().kind == SqlToken::Kind::End) failHere();
            out.push_back(statement(false));
        }
        if (out.empty() && !mayBeEmpty) failHere();
        return out;
    }

    // DECLARE @v type [= value] [, ...]
    StatementBody declare() {
        ++pos_;
        DeclareStatement d;
        int n = 0;
        do {
            const SqlToken& v = peek();
            if (!atVariable()) failHere();
            ++pos_;
            DeclareStatement::Variable var;
            var.name = v.text;
            acceptWord("AS");
            var.type = SqlTypes::settle(typeSpec(++n), 1);
            if (acceptSymbol("=")) {
                if (!version_.has(ReleaseRule::DeclareWithValue))
                    fail(139, "Cannot assign a default value to a local variable.");
                var.value = expr(0);
                if (var.value->isPredicate()) failAt(toks_[pos_ - 1]);
            }
            declare(v);
            d.variables.push_back(std::move(var));
        } while (acceptSymbol(","));
        return d;
    }
    using StatementParser::declare;

    StatementBody setVariable() {
        ++pos_;
        SetVariableStatement s;
        s.name = variable();
        expectSymbol("=");
        s.value = expr(0);
        if (s.value.isPredicate()) failAt(toks_[pos_ - 1]);
        return s;
    }

    // EXEC (text): string literals and variables joined by +, as the server takes them.
    StatementBody execSql() {
        expectSymbol("(");
        ExecSqlStatement s;
        s.sql = constantOrVariable();
        int parts = 1;
        while (acceptSymbol("+")) {
            if (++parts > 256)
                fail(191,
                     "Some part of your SQL statement is nested too deeply. "
                     "Rewrite the query or break it up into smaller queries.");
            Expr e;
            e.kind = Expr::Kind::Add;
            e.args.push_back(std::move(s.sql));
            e.args.push_back(constantOrVariable());
            s.sql = std::move(e);
        }
        expectSymbol(")");
        return s;
    }

    // RAISERROR (message, severity, state [, argument ...]) [WITH LOG | NOWAIT | SETERROR]
    StatementBody raiserror() {
        ++pos_;
        RaiserrorStatement r;
        expectSymbol("(");
        do {
            r.args.push_back(constantOrVariable());
        } while (acceptSymbol(","));
        if (r.args.size() < 3) failHere();
        expectSymbol(")");
        if (acceptWord("WITH")) {
            do {
                const SqlToken& o = next();
                const std::string u = upper(o.text);
                if (o.kind != SqlToken::Kind::Word ||
                    (u != "LOG" && u != "NOWAIT" && u != "SETERROR"))
                    failAt(o);
                r.withOptions.push_back(u);
            } while (acceptSymbol(","));
        }
        return r;
    }

    // THROW number, message, state | THROW (inside CATCH: the caught error again).
    StatementBody throwStatement() {
        const SqlToken& t = next();
        ThrowStatement s;
        const SqlToken& a = peek();
        if (a.kind == SqlToken::Kind::Number || a.kind == SqlToken::Kind::String ||
            a.kind == SqlToken::Kind::NString || a.isSymbol("-") || atVariable()) {
            s.args.push_back(constantOrVariable());
            expectSymbol(",");
            s.args.push_back(constantOrVariable());
            expectSymbol(",");
            s.args.push_back(constantOrVariable());
        } else if (catchDepth_ == 0) {
            throw ParseFailure{compileError(10704,
                                            "To rethrow an error, a THROW statement must be used "
                                            "inside a CATCH block. Insert the THROW statement "
                                            "inside a CATCH block, or add error parameters to "
                                            "the THROW statement.",
                                            t.line)};
        }
        return s;
    }

    StatementBody returnStatement() {
        ++pos_;
        const SqlToken& t = peek();
        if (t.kind == SqlToken::Kind::Number || t.kind == SqlToken::Kind::String ||
            t.kind == SqlToken::Kind::NString || t.isSymbol("(") || t.isSymbol("-") || atVariable())
            fail(178, "A RETURN statement with a return value cannot be used in this context.");
        return ReturnStatement{};
    }

    // A literal or a declared variable: what RAISERROR, THROW and EXEC (...) take.
    Expr constantOrVariable() {
        const SqlToken& t = peek();
        Expr e;
        if (t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString) {
            e.kind = Expr::Kind::Text;
            e.text = next().value;
        } else if (t.kind == SqlToken::Kind::Number ||
                   (t.isSymbol("-") && peek(1).kind == SqlToken::Kind::Number)) {
            const bool negative = acceptSymbol("-");
            const SqlToken& n = next();
            e.kind = Expr::Kind::Integer;
            if (n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18)
                failAt(n);
            e.number = std::stoll(n.text) * (negative ? -1 : 1);
        } else if (atVariable()) {
            e.kind = Expr::Kind::LocalVariable;
            e.name = variable();
        } else if (t.isWord("NULL")) {
            ++pos_;
            e.kind = Expr::Kind::Null;
        } else {
            if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
            failHere();
        }
        return e;
    }

    int catchDepth_ = 0;
    int nesting_ = 0;
};

}  // namespace

Message Parser::syntaxError(const SqlToken& tok) {
    return TokenCursor::syntaxError(tok);
}

ParseResult Parser::parseBatch(const std::string& sql, const ServerVersion& version) {
    ParseResult result;
    LexResult lexed = Lexer::tokenize(sql);
    if (lexed.failure) {
        result.failure = TokenCursor::compileError(lexed.failure->number, lexed.failure->text,
                                                   lexed.failure->line);
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
