#pragma once
// Evaluates a SELECT over one system table (or none): projection, WHERE, ORDER BY, COUNT(*).

#include <functional>
#include <optional>
#include <string>

#include "Ast.h"
#include "Reply.h"

namespace standin {

// A value with the column type it is reported under.
struct TypedValue {
    Value value;
    Column column;
};

struct SelectContext {
    // The rows of the named table, or nullopt with `error` set.
    std::function<std::optional<ResultSet>(const ObjectName&, Message& error)> table;
    // The value of a @@variable or a function call, or nullopt with `error` set.
    std::function<std::optional<TypedValue>(const Expr&, Message& error)> scalar;
};

class SelectRunner {
public:
    // Fills `out`; on failure returns false with `error` set (every such error ends the batch).
    static bool run(const SelectStatement& select, const SelectContext& context, ResultSet& out,
                    Message& error);
};

}  // namespace standin
