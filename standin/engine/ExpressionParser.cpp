#include "ExpressionParser.h"

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

Expr ExpressionParser::expr(int depth) {
    return chain(depth, "OR", Expr::Kind::Or, &ExpressionParser::andExpr);
}

Expr ExpressionParser::andExpr(int depth) {
    return chain(depth, "AND", Expr::Kind::And, &ExpressionParser::notExpr);
}

// left WORD right WORD right ...: each WORD joins what came before with the next operand.
Expr ExpressionParser::chain(int depth, const char* word, Expr::Kind kind,
                             Expr (ExpressionParser::*operand)(int)) {
    guard(depth);
    Expr left = (this->*operand)(depth + 1);
    while (acceptWord(word)) {
        Expr e;
        e.kind = kind;
        e.args.push_back(std::move(left));
        e.args.push_back((this->*operand)(depth + 1));
        left = std::move(e);
    }
    return left;
}

Expr ExpressionParser::notExpr(int depth) {
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

Expr ExpressionParser::comparison(int depth) {
    guard(depth);
    Expr left = additive(depth + 1);
    static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* op : ops) {
        if (peek().isSymbol(op)) {
            ++pos_;
            Expr e;
            e.kind = Expr::Kind::Compare;
            const std::string o = op;
            e.op = o == "!=" ? "<>" : o == "!<" ? ">=" : o == "!>" ? "<=" : o;
            e.args.push_back(std::move(left));
            e.args.push_back(additive(depth + 1));
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
            e.args.push_back(additive(depth + 1));
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
        e.args.push_back(additive(depth + 1));
        return e;
    }
    return left;
}

Expr ExpressionParser::additive(int depth) {
    guard(depth);
    Expr left = primary(depth + 1);
    while (peek().isSymbol("+")) {
        const SqlToken& plus = next();
        Expr e;
        e.kind = Expr::Kind::Add;
        e.args.push_back(std::move(left));
        e.args.push_back(primary(depth + 1));
        if (e.args[0].isPredicate() || e.args[1].isPredicate()) failAt(plus);
        left = std::move(e);
        ++depth;
        guard(depth);
    }
    return left;
}

Expr ExpressionParser::primary(int depth) {
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
        return number(next(), true);
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
    if (atVariable()) {
        e.kind = Expr::Kind::LocalVariable;
        e.name = variable();
        return e;
    }
    if (t.isWord("CONVERT") && peek(1).isSymbol("(")) return convert(depth);
    if (t.isWord("CAST") && peek(1).isSymbol("(")) return cast(depth);
    if ((t.kind == SqlToken::Kind::Word || t.kind == SqlToken::Kind::Quoted) &&
        peek(1).isSymbol("(") && !t.isKeyword())
        return function(depth);
    if (atName()) {
        ObjectName col = objectName();
        e.kind = Expr::Kind::Column;
        e.name = col.object;
        return e;
    }
    failHere();
}

bool ExpressionParser::knownFunction(const std::string& u) const {
    if (inList(u, std::begin(kFunctions), std::end(kFunctions))) return true;
    return version_.has(ReleaseRule::TryCatch) &&
           inList(u, std::begin(kErrorFunctions), std::end(kErrorFunctions));
}

Expr ExpressionParser::function(int depth) {
    const SqlToken& t = peek();
    const std::string u = upper(t.value);
    if (!knownFunction(u)) {
        throw ParseFailure{
            compileError(195, "'" + t.value + "' is not a recognized function name.", t.line)};
    }
    pos_ += 2;
    Expr e;
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

// CAST (expression AS type)
Expr ExpressionParser::cast(int depth) {
    pos_ += 2;
    Expr e;
    e.kind = Expr::Kind::Cast;
    e.args.push_back(expr(depth + 1));
    expectWord("AS");
    e.type = typeSpec(0);
    expectSymbol(")");
    return e;
}

// CONVERT (type, expression [, style]); the style changes nothing for the types known here.
Expr ExpressionParser::convert(int depth) {
    pos_ += 2;
    Expr e;
    e.kind = Expr::Kind::Cast;
    e.type = typeSpec(0);
    expectSymbol(",");
    e.args.push_back(expr(depth + 1));
    if (acceptSymbol(",")) {
        if (peek().kind != SqlToken::Kind::Number) failHere();
        ++pos_;
    }
    expectSymbol(")");
    return e;
}

TypeSpec ExpressionParser::typeSpec(int variable) {
    const SqlToken& t = peek();
    if (t.kind != SqlToken::Kind::Word && t.kind != SqlToken::Kind::Quoted) failHere();
    ++pos_;
    TypeSpec type;
    type.name = upper(t.value);
    if (!SqlTypes::known(type.name)) {
        if (variable > 0) {
            throw ParseFailure{compileError(2715,
                                            "Column, parameter, or variable #" +
                                                std::to_string(variable) +
                                                ": Cannot find data type " + t.value + ".",
                                            t.line)};
        }
        throw ParseFailure{
            compileError(243, "Type " + t.value + " is not a defined system type.", t.line)};
    }
    if (!acceptSymbol("(")) return type;
    const SqlToken& n = peek();
    if (SqlTypes::isText(type) && type.name != "SYSNAME" && n.isWord("MAX") &&
        type.name.find("VAR") != std::string::npos) {
        type.length = -1;
    } else if (n.kind == SqlToken::Kind::Number && SqlTypes::isText(type) &&
               type.name != "SYSNAME" &&
               n.text.find_first_not_of("0123456789") == std::string::npos && n.text.size() < 10) {
        type.length = std::atoi(n.text.c_str());
        if (type.length == 0)
            fail(1001, "Line " + std::to_string(n.line) +
                           ": Length or precision specification 0 is invalid.");
        if (type.length > SqlTypes::maxLength(type)) {
            fail(131, "The size (" + n.text + ") given to the type '" + t.value +
                          "' exceeds the maximum allowed for any data type (" +
                          std::to_string(SqlTypes::maxLength(type)) + ").");
        }
    } else {
        failAt(n);
    }
    ++pos_;
    expectSymbol(")");
    return type;
}

Expr ExpressionParser::number(const SqlToken& t, bool negative) {
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

void ExpressionParser::guard(int depth) const {
    if (depth > kMaxDepth) {
        throw ParseFailure{compileError(191,
                                        "Some part of your SQL statement is nested too "
                                        "deeply. Rewrite the query or break it up into "
                                        "smaller queries.",
                                        peek().line)};
    }
}

}  // namespace standin
