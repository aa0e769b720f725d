#pragma once
// Expressions: literals, @@variables, @variables, function calls, CAST and CONVERT, + and the
// predicates of WHERE and IF (comparisons, LIKE, IN, IS NULL, NOT, AND, OR).

#include "TokenCursor.h"

namespace standin {

class ExpressionParser : public TokenCursor {
public:
    using TokenCursor::TokenCursor;

protected:
    // Precedence climbing: OR < AND < NOT < comparison < + < primary.
    Expr expr(int depth);
    // A data type; `variable` > 0 numbers the DECLAREd variable it is for (its errors name it).
    TypeSpec typeSpec(int variable);

private:
    Expr andExpr(int depth);
    Expr chain(int depth, const char* word, Expr::Kind kind,
               Expr (ExpressionParser::*operand)(int));
    Expr notExpr(int depth);
    Expr comparison(int depth);
    Expr additive(int depth);
    Expr primary(int depth);
    Expr function(int depth);
    Expr cast(int depth);
    Expr convert(int depth);
    Expr number(const SqlToken& t, bool negative);
    bool knownFunction(const std::string& upperName) const;
    void guard(int depth) const;
};

}  // namespace standin
