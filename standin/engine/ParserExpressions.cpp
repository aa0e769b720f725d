// The parser's expressions: literals, @@variables, @variables, function calls, CAST and
// CONVERT, + and the predicates of WHERE and IF (comparisons, LIKE, IN, IS NULL, NOT, AND, OR).

#include "Parser.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "SqlTypes.h"

namespace standin {

namespace {

const char* const kFunctions[] = {
    "DB_NAME", "DB_ID", "SUSER_SNAME", "USER_NAME",          "SERVERPROPERTY",
    "GETDATE", "COUNT", "QUOTENAME",   "DATABASEPROPERTYEX", "ISNULL"};

// The error functions came with TRY ... CATCH in SQL Server 2005.
const char* const kErrorFunctions[] = {"ERROR_MESSAGE", "ERROR_NUMBER", "ERROR_SEVERITY",
                                       "ERROR_STATE",   "ERROR_LINE",   "ERROR_PROCEDURE"};

const char* const kVariables[] = {"@@VERSION",       "@@SPID",        "@@TRANCOUNT", "@@SERVERNAME",
                                  "@@LANGUAGE",      "@@ERROR",       "@@ROWCOUNT",  "@@TEXTSIZE",
                                  "@@MAX_PRECISION", "@@SERVICENAME", "@@OPTIONS"};

bool inList(const std::string& u, const char* const* begin, const char* const* end) {
    return std::any_of(begin, end, [&](const char* k) { return u == k; });
}

constexpr int kMaxDepth = 256;

}  // namespace

Expr Parser::expr(int depth) {
    return chain(depth, "OR", Expr::Kind::Or, &Parser::andExpr);
}

Expr Parser::andExpr(int depth) {
    return chain(depth, "AND", Expr::Kind::And, &Parser::notExpr);
}

// left WORD right WORD right ...: each WORD joins what came before with the next operand.
Expr Parser::chain(int depth, const char* word, Expr::Kind kind, Expr (Parser::*operand)(int)) {
    guard(depth);
    Expr left = (this->*operand)(depth + 1);
    while (cursor_.acceptWord(word)) {
        Expr e;
        e.kind = kind;
        e.args.push_back(std::move(left));
        e.args.push_back((this->*operand)(depth + 1));
        left = std::move(e);
    }
    return left;
}

Expr Parser::notExpr(int depth) {
    guard(depth);
    if (cursor_.acceptWord("NOT")) {
        Expr e;
        e.kind = Expr::Kind::Not;
        e.args.push_back(notExpr(depth + 1));
        if (!e.args[0].isPredicate()) cursor_.failHere();
        return e;
    }
    return comparison(depth + 1);
}

Expr Parser::comparison(int depth) {
    guard(depth);
    Expr left = additive(depth + 1);
    static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* op : ops) {
        if (cursor_.peek().isSymbol(op)) {
            cursor_.skip();
            Expr e;
            e.kind = Expr::Kind::Compare;
            const std::string o = op;
            e.op = o == "!=" ? "<>" : o == "!<" ? ">=" : o == "!>" ? "<=" : o;
            e.args.push_back(std::move(left));
            e.args.push_back(additive(depth + 1));
            if (e.args[0].isPredicate() || e.args[1].isPredicate())
                cursor_.failAt(cursor_.previous());
            return e;
        }
    }
    if (cursor_.peek().isWord("IS")) {
        cursor_.skip();
        Expr e;
        e.kind = Expr::Kind::IsNull;
        e.negated = cursor_.acceptWord("NOT");
        cursor_.expectWord("NULL");
        e.args.push_back(std::move(left));
        return e;
    }
    if (cursor_.peek().isWord("IN") ||
        (cursor_.peek().isWord("NOT") && cursor_.peek(1).isWord("IN"))) {
        Expr e;
        e.kind = Expr::Kind::In;
        e.negated = cursor_.acceptWord("NOT");
        cursor_.expectWord("IN");
        cursor_.expectSymbol("(");
        e.args.push_back(std::move(left));
        do {
            e.args.push_back(additive(depth + 1));
            if (e.args.back().isPredicate()) cursor_.failAt(cursor_.previous());
        } while (cursor_.acceptSymbol(","));
        cursor_.expectSymbol(")");
        return e;
    }
    if (cursor_.peek().isWord("LIKE") ||
        (cursor_.peek().isWord("NOT") && cursor_.peek(1).isWord("LIKE"))) {
        Expr e;
        e.kind = Expr::Kind::Like;
        e.negated = cursor_.acceptWord("NOT");
        cursor_.expectWord("LIKE");
        e.args.push_back(std::move(left));
        e.args.push_back(additive(depth + 1));
        return e;
    }
    return left;
}

Expr Parser::additive(int depth) {
    guard(depth);
    Expr left = primary(depth + 1);
    while (cursor_.peek().isSymbol("+")) {
        const SqlToken& plus = cursor_.next();
        Expr e;
        e.kind = Expr::Kind::Add;
        e.args.push_back(std::move(left));
        e.args.push_back(primary(depth + 1));
        if (e.args[0].isPredicate() || e.args[1].isPredicate()) cursor_.failAt(plus);
        left = std::move(e);
        ++depth;
        guard(depth);
    }
    return left;
}

Expr Parser::primary(int depth) {
    guard(depth);
    const SqlToken& t = cursor_.peek();
    Expr e;
    if (t.isSymbol("(")) {
        cursor_.skip();
        e = expr(depth + 1);
        cursor_.expectSymbol(")");
        return e;
    }
    if (t.isSymbol("-") && cursor_.peek(1).kind == SqlToken::Kind::Number) {
        cursor_.skip();
        return number(cursor_.next(), true);
    }
    if (t.kind == SqlToken::Kind::Number) return number(cursor_.next(), false);
    if (t.kind == SqlToken::Kind::String || t.kind == SqlToken::Kind::NString) {
        e.kind = Expr::Kind::Text;
        e.text = cursor_.next().value;
        return e;
    }
    if (t.isWord("NULL")) {
        cursor_.skip();
        e.kind = Expr::Kind::Null;
        return e;
    }
    if (t.kind == SqlToken::Kind::Word && t.text.rfind("@@", 0) == 0) {
        const std::string u = TokenCursor::upper(t.text);
        if (!inList(u, std::begin(kVariables), std::end(kVariables))) cursor_.undeclared(t);
        cursor_.skip();
        e.kind = Expr::Kind::Variable;
        e.name = u;
        return e;
    }
    if (cursor_.atVariable()) {
        e.kind = Expr::Kind::LocalVariable;
        e.name = cursor_.variable();
        return e;
    }
    if (t.isWord("CONVERT") && cursor_.peek(1).isSymbol("(")) return convert(depth);
    if (t.isWord("CAST") && cursor_.peek(1).isSymbol("(")) return cast(depth);
    if ((t.kind == SqlToken::Kind::Word || t.kind == SqlToken::Kind::Quoted) &&
        cursor_.peek(1).isSymbol("(") && !t.isKeyword())
        return function(depth);
    if (cursor_.atName()) {
        ObjectName col = cursor_.objectName();
        e.kind = Expr::Kind::Column;
        e.name = col.object;
        return e;
    }
    cursor_.failHere();
}

bool Parser::knownFunction(const std::string& u) const {
    if (inList(u, std::begin(kFunctions), std::end(kFunctions))) return true;
    return cursor_.version().has(ReleaseRule::TryCatch) &&
           inList(u, std::begin(kErrorFunctions), std::end(kErrorFunctions));
}

Expr Parser::function(int depth) {
    const SqlToken& t = cursor_.peek();
    const std::string u = TokenCursor::upper(t.value);
    if (!knownFunction(u)) {
        throw ParseFailure{TokenCursor::compileError(
            195, "'" + t.value + "' is not a recognized function name.", t.line)};
    }
    cursor_.skip(2);
    Expr e;
    e.kind = Expr::Kind::Function;
    e.name = u;
    if (u == "COUNT" && cursor_.acceptSymbol("*")) {
        e.text = "*";
    } else if (!cursor_.peek().isSymbol(")")) {
        do {
            e.args.push_back(expr(depth + 1));
        } while (cursor_.acceptSymbol(","));
    }
    cursor_.expectSymbol(")");
    return e;
}

// CAST (expression AS type)
Expr Parser::cast(int depth) {
    cursor_.skip(2);
    Expr e;
    e.kind = Expr::Kind::Cast;
    e.args.push_back(expr(depth + 1));
    cursor_.expectWord("AS");
    e.type = typeSpec(0);
    cursor_.expectSymbol(")");
    return e;
}

// CONVERT (type, expression [, style]); the style changes nothing for the types known here.
Expr Parser::convert(int depth) {
    cursor_.skip(2);
    Expr e;
    e.kind = Expr::Kind::Cast;
    e.type = typeSpec(0);
    cursor_.expectSymbol(",");
    e.args.push_back(expr(depth + 1));
    if (cursor_.acceptSymbol(",")) {
        if (cursor_.peek().kind != SqlToken::Kind::Number) cursor_.failHere();
        cursor_.skip();
    }
    cursor_.expectSymbol(")");
    return e;
}

TypeSpec Parser::typeSpec(int variable) {
    const SqlToken& t = cursor_.peek();
    if (t.kind != SqlToken::Kind::Word && t.kind != SqlToken::Kind::Quoted) cursor_.failHere();
    cursor_.skip();
    TypeSpec type;
    type.name = TokenCursor::upper(t.value);
    if (!SqlTypes::known(type.name)) {
        if (variable > 0) {
            throw ParseFailure{TokenCursor::compileError(
                2715,
                "Column, parameter, or variable #" + std::to_string(variable) +
                    ": Cannot find data type " + t.value + ".",
                t.line)};
        }
        throw ParseFailure{TokenCursor::compileError(
            243, "Type " + t.value + " is not a defined system type.", t.line)};
    }
    if (!cursor_.acceptSymbol("(")) return type;
    const SqlToken& n = cursor_.peek();
    if (SqlTypes::isText(type) && type.name != "SYSNAME" && n.isWord("MAX") &&
        type.name.find("VAR") != std::string::npos) {
        type.length = -1;
    } else if (n.kind == SqlToken::Kind::Number && SqlTypes::isText(type) &&
               type.name != "SYSNAME" &&
               n.text.find_first_not_of("0123456789") == std::string::npos && n.text.size() < 10) {
        type.length = std::atoi(n.text.c_str());
        if (type.length == 0)
            cursor_.fail(1001, "Line " + std::to_string(n.line) +
                                   ": Length or precision specification 0 is invalid.");
        if (type.length > SqlTypes::maxLength(type)) {
            cursor_.fail(131, "The size (" + n.text + ") given to the type '" + t.value +
                                  "' exceeds the maximum allowed for any data type (" +
                                  std::to_string(SqlTypes::maxLength(type)) + ").");
        }
    } else {
        cursor_.failAt(n);
    }
    cursor_.skip();
    cursor_.expectSymbol(")");
    return type;
}

Expr Parser::number(const SqlToken& t, bool negative) {
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

void Parser::guard(int depth) const {
    if (depth > kMaxDepth) {
        throw ParseFailure{
            TokenCursor::compileError(191,
                                      "Some part of your SQL statement is nested too "
                                      "deeply. Rewrite the query or break it up into "
                                      "smaller queries.",
                                      cursor_.peek().line)};
    }
}

}  // namespace standin
