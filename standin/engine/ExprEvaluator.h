#pragma once
// Evaluates expressions: over a row of a system table for SELECT, or alone for the
// procedural statements (SET @v = ..., IF ..., EXEC (...), RAISERROR, PRINT). Values the
// engine knows (@@variables, @variables, server functions) come from the context.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Reply.h"
#include "ServerVersion.h"
#include "SqlTypes.h"

namespace standin {

struct EvalContext {
    // The rows of the named table, or nullopt with `error` set.
    std::function<std::optional<ResultSet>(const ObjectName&, Message& error)> table;
    // The value of a @@variable, an @variable or a function call (its arguments evaluated),
    // or nullopt with `error` set.
    std::function<std::optional<TypedValue>(const Expr&, const std::vector<TypedValue>& args,
                                            Message& error)>
        scalar;
    // SELECT @v = ...: stores a value in the variable; false with `error` set when the value
    // does not convert to the variable's type.
    std::function<bool(const std::string& name, const TypedValue& value, Message& error)> assign;
    ServerVersion version;  // whose texts the conversion errors use
};

// Every evaluation error is thrown as one of these and carries the server's message.
struct EvalFailure {
    Message message;
};

class ExprEvaluator {
public:
    ExprEvaluator(const EvalContext& ctx, const ResultSet* table) : ctx_(ctx), table_(table) {}

    // Without a table: the value of `e`, or nullopt with `error` set.
    static std::optional<TypedValue> evaluate(const Expr& e, const EvalContext& ctx,
                                              Message& error);
    // Without a table: whether condition `e` is TRUE (not FALSE or UNKNOWN).
    static std::optional<bool> holds(const Expr& e, const EvalContext& ctx, Message& error);

    int columnIndex(const std::string& name) const;
    // Checks column names before any row is read, so a bad one fails over an empty table too.
    void check(const Expr& e) const;
    TypedValue scalar(const Expr& e, const std::vector<Value>* row) const;
    // SQL comparison; nullopt when either side is NULL.
    std::optional<int> compare(const TypedValue& a, const TypedValue& b) const;
    bool truth(const Expr& e, const std::vector<Value>* row) const;

private:
    // Three-valued logic: a comparison with NULL is UNKNOWN, and so is NOT UNKNOWN.
    enum class Tri { False, True, Unknown };

    Tri logic(const Expr& e, const std::vector<Value>* row) const;
    Tri compareOp(const Expr& e, const std::vector<Value>* row) const;
    Tri in(const Expr& e, const std::vector<Value>* row) const;
    int64_t toInt(const TypedValue& v) const;
    TypedValue add(const Expr& e, const std::vector<Value>* row) const;
    TypedValue cast(const Expr& e, const std::vector<Value>* row) const;
    TypedValue call(const Expr& e, const std::vector<Value>* row) const;
    static TypedValue quoteName(const std::vector<TypedValue>& args);

    const EvalContext& ctx_;
    const ResultSet* table_;
};

}  // namespace standin
