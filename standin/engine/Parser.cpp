#include "Parser.h"

#include <cstdlib>

#include "SqlTypes.h"
#include "statements/StatementTable.h"

namespace standin {

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
        Parser p(TokenCursor(std::move(lexed.tokens), version));
        result.statements = p.batch();
    } catch (const ParseFailure& f) {
        result.failure = f.message;
        result.statements.clear();
    }
    return result;
}

// THROW is no reserved word: the statement before it must end in ";", or the server reads
// THROW as part of it.
void Parser::checkThrowFollowsTerminator() const {
    if (cursor_.peek().isWord("THROW") && cursor_.version().has(ReleaseRule::Throw) &&
        !cursor_.previous().isSymbol(";"))
        cursor_.failHere();
}

std::vector<Statement> Parser::batch() {
    std::vector<Statement> out;
    while (cursor_.peek().kind != SqlToken::Kind::End) {
        if (cursor_.acceptSymbol(";")) continue;
        if (!out.empty()) checkThrowFollowsTerminator();
        out.push_back(statement(out.empty()));
    }
    return out;
}

Statement Parser::statement(bool first) {
    // IF and BEGIN nest statements: the depth is bounded as for expressions.
    guard(++nesting_);
    Statement st;
    st.line = cursor_.peek().line;
    st.body = body(first);
    --nesting_;
    return st;
}

StatementBody Parser::body(bool first) {
    const SqlToken& t = cursor_.peek();
    if (t.isWord("SET") && cursor_.atVariable(1)) return setVariable();
    if (t.isWord("EXEC") || t.isWord("EXECUTE")) {
        cursor_.skip();
        if (cursor_.peek().isSymbol("(")) return execSql();
        return ProcedureCall::read(*this);
    }
    if (Transaction::atBegin(cursor_)) return Transaction::readBegin(*this);
    if (t.isWord("BEGIN")) return begin();
    if (Transaction::atEndIfOpen(cursor_)) return Transaction::readEndIfOpen(*this);
    if (t.isWord("IF")) return ifStatement();
    if (std::optional<StatementBody> s = StatementTable::read(*this)) return std::move(*s);
    return procedural(first);
}

StatementBody Parser::procedural(bool first) {
    const SqlToken& t = cursor_.peek();
    if (t.isWord("DECLARE")) return declare();
    if (t.isWord("PRINT")) return print();
    if (t.isWord("RAISERROR")) return raiserror();
    if (t.isWord("RETURN")) return returnStatement();
    if (t.isWord("THROW") && cursor_.version().has(ReleaseRule::Throw)) return throwStatement();
    // The first statement of a batch may name a procedure without EXEC.
    if (first && cursor_.atName()) return ProcedureCall::read(*this);
    if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') cursor_.undeclared(t);
    cursor_.failHere();
}

// IF condition statement [ELSE statement].
StatementBody Parser::ifStatement() {
    cursor_.skip();
    IfStatement s;
    s.condition = expr(0);
    if (!s.condition.isPredicate()) {
        cursor_.fail(4145,
                     "An expression of non-boolean type specified in a context where a "
                     "condition is expected, near '" +
                         cursor_.peek().text + "'.");
    }
    s.then.push_back(statement(false));
    if (cursor_.acceptWord("ELSE")) s.otherwise.push_back(statement(false));
    return s;
}

// BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH, BEGIN ... END.
StatementBody Parser::begin() {
    cursor_.skip();
    // SQL Server 2000 has no TRY: the word is a syntax error there.
    if (cursor_.peek().isWord("TRY") && cursor_.version().has(ReleaseRule::TryCatch))
        return tryCatch();
    if (cursor_.peek().isWord("TRY") || cursor_.peek().isWord("CATCH")) cursor_.failHere();
    BlockStatement b;
    b.body = statementsUntilEnd(nullptr, false);
    cursor_.expectWord("END");
    return b;
}

StatementBody Parser::tryCatch() {
    cursor_.skip();
    TryCatchStatement s;
    s.body = statementsUntilEnd("TRY", false);
    cursor_.expectWord("END");
    cursor_.expectWord("TRY");
    // BEGIN CATCH follows END TRY at once.
    cursor_.expectWord("BEGIN");
    cursor_.expectWord("CATCH");
    ++catchDepth_;
    s.handler = statementsUntilEnd("CATCH", true);
    --catchDepth_;
    cursor_.expectWord("END");
    cursor_.expectWord("CATCH");
    return s;
}

// Statements up to END (END `word` when given); a block needs at least one but CATCH.
std::vector<Statement> Parser::statementsUntilEnd(const char* word, bool mayBeEmpty) {
    std::vector<Statement> out;
    while (true) {
        if (cursor_.acceptSymbol(";")) continue;
        if (cursor_.peek().isWord("END") && (!word || cursor_.peek(1).isWord(word))) break;
        if (cursor_.peek().kind == SqlToken::Kind::End) cursor_.failHere();
        if (!out.empty()) checkThrowFollowsTerminator();
        out.push_back(statement(false));
    }
    if (out.empty() && !mayBeEmpty) cursor_.failHere();
    return out;
}

// DECLARE @v type [= value] [, ...]
StatementBody Parser::declare() {
    cursor_.skip();
    DeclareStatement d;
    int n = 0;
    do {
        const SqlToken& v = cursor_.peek();
        if (!cursor_.atVariable()) cursor_.failHere();
        cursor_.skip();
        DeclareStatement::Variable var;
        var.name = v.text;
        cursor_.acceptWord("AS");
        var.type = SqlTypes::settle(typeSpec(++n), 1);
        if (cursor_.acceptSymbol("=")) {
            if (!cursor_.version().has(ReleaseRule::DeclareWithValue))
                cursor_.fail(139, "Cannot assign a default value to a local variable.");
            var.value = expr(0);
            if (var.value->isPredicate()) cursor_.failAt(cursor_.previous());
        }
        cursor_.declare(v);
        d.variables.push_back(std::move(var));
    } while (cursor_.acceptSymbol(","));
    return d;
}

StatementBody Parser::setVariable() {
    cursor_.skip();
    SetVariableStatement s;
    s.name = cursor_.variable();
    cursor_.expectSymbol("=");
    s.value = expr(0);
    if (s.value.isPredicate()) cursor_.failAt(cursor_.previous());
    return s;
}

// EXEC (text): string literals and variables joined by +, as the server takes them.
StatementBody Parser::execSql() {
    cursor_.expectSymbol("(");
    ExecSqlStatement s;
    s.sql = constantOrVariable();
    int parts = 1;
    while (cursor_.acceptSymbol("+")) {
        guard(++parts);
        Expr e;
        e.kind = Expr::Kind::Add;
        e.args.push_back(std::move(s.sql));
        e.args.push_back(constantOrVariable());
        s.sql = std::move(e);
    }
    cursor_.expectSymbol(")");
    return s;
}

// RAISERROR (message, severity, state [, argument ...]) [WITH LOG | NOWAIT | SETERROR]
StatementBody Parser::raiserror() {
    cursor_.skip();
    RaiserrorStatement r;
    cursor_.expectSymbol("(");
    do {
        r.args.push_back(constantOrVariable());
    } while (cursor_.acceptSymbol(","));
    if (r.args.size() < 3) cursor_.failHere();
    cursor_.expectSymbol(")");
    if (cursor_.acceptWord("WITH")) {
        do {
            const SqlToken& o = cursor_.next();
            const std::string u = TokenCursor::upper(o.text);
            if (o.kind != SqlToken::Kind::Word || (u != "LOG" && u != "NOWAIT" && u != "SETERROR"))
                cursor_.failAt(o);
            r.withOptions.push_back(u);
        } while (cursor_.acceptSymbol(","));
    }
    return r;
}

// THROW number, message, state | THROW (inside CATCH: the caught error again).
StatementBody Parser::throwStatement() {
    const SqlToken& t = cursor_.next();
    ThrowStatement s;
    const SqlToken& a = cursor_.peek();
    if (a.kind == SqlToken::Kind::Number || a.kind == SqlToken::Kind::String ||
        a.kind == SqlToken::Kind::NString || a.isSymbol("-") || cursor_.atVariable()) {
        s.args.push_back(constantOrVariable());
        cursor_.expectSymbol(",");
        s.args.push_back(constantOrVariable());
        cursor_.expectSymbol(",");
        s.args.push_back(constantOrVariable());
    } else if (catchDepth_ == 0) {
        throw ParseFailure{TokenCursor::compileError(
            10704,
            "To rethrow an error, a THROW statement must be used inside a CATCH block. Insert "
            "the THROW statement inside a CATCH block, or add error parameters to the THROW "
            "statement.",
            t.line)};
    }
    return s;
}

StatementBody Parser::returnStatement() {
    cursor_.skip();
    const SqlToken& t = cursor_.peek();
    if (t.kind == SqlToken::Kind::Number || t.kind == SqlToken::Kind::String ||
        t.kind == SqlToken::Kind::NString || t.isSymbol("(") || t.isSymbol("-") ||
        cursor_.atVariable())
        cursor_.fail(178, "A RETURN statement with a return value cannot be used in this context.");
    return ReturnStatement{};
}

StatementBody Parser::print() {
    cursor_.skip();
    PrintStatement p{expr(0)};
    if (p.value.isPredicate()) cursor_.failAt(cursor_.previous());
    return p;
}

Expr Parser::constantOrVariable() {
    const SqlToken& t = cursor_.peek();
    Expr e;
    if (t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString) {
        e.kind = Expr::Kind::Text;
        e.text = cursor_.next().value;
    } else if (t.kind == SqlToken::Kind::Number ||
               (t.isSymbol("-") && cursor_.peek(1).kind == SqlToken::Kind::Number)) {
        const bool negative = cursor_.acceptSymbol("-");
        const SqlToken& n = cursor_.next();
        e.kind = Expr::Kind::Integer;
        if (n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18)
            cursor_.failAt(n);
        e.number = std::stoll(n.text) * (negative ? -1 : 1);
    } else if (cursor_.atVariable()) {
        e.kind = Expr::Kind::LocalVariable;
        e.name = cursor_.variable();
    } else if (t.isWord("NULL")) {
        cursor_.skip();
        e.kind = Expr::Kind::Null;
    } else {
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') cursor_.undeclared(t);
        cursor_.failHere();
    }
    return e;
}

ArgValue Parser::argValue() {
    const SqlToken& t = cursor_.peek();
    ArgValue v;
    if (t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString) {
        v.kind = ArgValue::Kind::Text;
        v.unicode = t.kind == SqlToken::Kind::NString;
        v.text = cursor_.next().value;
        return v;
    }
    const bool negative = t.isSymbol("-") && cursor_.peek(1).kind == SqlToken::Kind::Number;
    if (negative || t.kind == SqlToken::Kind::Number) {
        if (negative) cursor_.skip();
        const SqlToken& n = cursor_.next();
        v.text = (negative ? "-" : "") + n.text;
        if (n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 18) {
            v.kind = ArgValue::Kind::Text;
            return v;
        }
        v.kind = ArgValue::Kind::Integer;
        v.number = std::strtoll(n.text.c_str(), nullptr, 10) * (negative ? -1 : 1);
        return v;
    }
    if (cursor_.acceptWord("DEFAULT")) {
        v.kind = ArgValue::Kind::Default;
        return v;
    }
    if (cursor_.acceptWord("NULL")) {
        v.kind = ArgValue::Kind::Null;
        return v;
    }
    if (cursor_.atVariable() && cursor_.declared(t.text)) {
        v.kind = ArgValue::Kind::Variable;
        v.text = cursor_.next().text;
        return v;
    }
    if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') cursor_.undeclared(t);
    // A bare or [quoted] identifier stands for its own text as a character value.
    v.kind = ArgValue::Kind::Text;
    v.text = cursor_.name();
    return v;
}

bool Parser::atArgValue() const {
    const SqlToken& t = cursor_.peek();
    return t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString ||
           t.kind == SqlToken::Kind::Number || t.kind == SqlToken::Kind::Quoted ||
           (t.isSymbol("-") && cursor_.peek(1).kind == SqlToken::Kind::Number) ||
           t.isWord("DEFAULT") || t.isWord("NULL") ||
           (t.kind == SqlToken::Kind::Word && !t.isKeyword());
}

}  // namespace standin
