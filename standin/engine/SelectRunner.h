#pragma once
// Evaluates a SELECT over one system table (or none): projection, WHERE, ORDER BY, COUNT(*),
// and SELECT @v = ... that assigns instead of returning rows.

#include "Ast.h"
#include "ExprEvaluator.h"
#include "Reply.h"

namespace standin {

class SelectRunner {
public:
    // Fills `out`; on failure returns false with `error` set (every such error ends the batch).
    // A SELECT that assigns leaves `out` without columns, with one empty row per row it read
    // (the count its DONE reports).
    static bool run(const SelectStatement& select, const EvalContext& context, ResultSet& out,
                    Message& error);
};

}  // namespace standin
