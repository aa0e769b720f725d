#pragma once
// Turns a batch's tokens into statements. A syntax error stops the whole batch before any
// statement runs, as on the server. The parser reads the batch's flow (DECLARE, SET @v, IF,
// BEGIN ... END, TRY ... CATCH, EXEC (...), RAISERROR, THROW, RETURN, PRINT) and expressions
// (ParserExpressions.cpp); a statement that acts on the server is read by its own file in
// statements/, which StatementTable finds by the statement's first word.

#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Lexer.h"
#include "Reply.h"
#include "ServerVersion.h"
#include "TokenCursor.h"

namespace standin {

struct ParseResult {
    std::vector<Statement> statements;
    std::optional<Message> failure;  // the compile error that refuses the batch
};

class Parser {
public:
    // The batch as the given release reads it (statements and options it does not have are
    // syntax errors there).
    static ParseResult parseBatch(const std::string& sql, const ServerVersion& version = {});

    // The message for a syntax error at tok: 156 for a reserved keyword, 102 otherwise.
    static Message syntaxError(const SqlToken& tok);

    // What the statements' readings use.
    TokenCursor& cursor() { return cursor_; }
    Expr expression() { return expr(0); }
    // A data type; `variable` > 0 numbers the DECLAREd variable it is for (its errors name it).
    TypeSpec typeSpec(int variable);
    // A value of a DBCC or procedure argument list: a literal, DEFAULT, NULL, a declared
    // variable, or a bare or [quoted] name standing for its own text.
    ArgValue argValue();
    bool atArgValue() const;

private:
    explicit Parser(TokenCursor cursor) : cursor_(std::move(cursor)) {}

    std::vector<Statement> batch();
    Statement statement(bool first);
    StatementBody body(bool first);
    StatementBody procedural(bool first);
    StatementBody ifStatement();
    StatementBody begin();
    StatementBody tryCatch();
    std::vector<Statement> statementsUntilEnd(const char* word, bool mayBeEmpty);
    // 102 for a THROW that follows a statement not ended by ";" (on releases that have THROW).
    void checkThrowFollowsTerminator() const;
    StatementBody declare();
    StatementBody setVariable();
    StatementBody execSql();
    StatementBody raiserror();
    StatementBody throwStatement();
    StatementBody returnStatement();
    StatementBody print();
    // A literal or a declared variable: what RAISERROR, THROW and EXEC (...) take.
    Expr constantOrVariable();
    // 191 beyond 256 levels of nesting, before the stack runs out.
    void guard(int depth) const;

    // Expressions by precedence climbing: OR < AND < NOT < comparison < + < primary.
    Expr expr(int depth);
    Expr andExpr(int depth);
    Expr chain(int depth, const char* word, Expr::Kind kind, Expr (Parser::*operand)(int));
    Expr notExpr(int depth);
    Expr comparison(int depth);
    Expr additive(int depth);
    Expr primary(int depth);
    Expr function(int depth);
    Expr cast(int depth);
    Expr convert(int depth);
    Expr number(const SqlToken& t, bool negative);
    bool knownFunction(const std::string& upperName) const;

    TokenCursor cursor_;
    int catchDepth_ = 0;
    int nesting_ = 0;
};

}  // namespace standin
