#pragma once
// What the server knows of itself and of the session, for any expression: @@VERSION, @@SPID,
// @@TRANCOUNT, @@SERVERNAME and the other @@variables, DB_NAME(), DB_ID(), SUSER_SNAME(),
// USER_NAME(), GETDATE(), SERVERPROPERTY(...) and DATABASEPROPERTYEX(...) (DatabaseProperty).
// @@ERROR, ERROR_*() and @variables are the batch runner's.

#include <optional>
#include <string>
#include <vector>

#include "Expr.h"
#include "ExprEvaluator.h"

namespace standin {

class Instance;
struct SessionState;

class ServerFunctions {
public:
    // The value of an @@variable or a function call (its arguments evaluated), or nullopt with
    // 195 (no such function) in `error`.
    static std::optional<TypedValue> value(const Instance& instance, const SessionState& session,
                                           const Expr& e, const std::vector<TypedValue>& args,
                                           Message& error);

private:
    static TypedValue globalVariable(const Instance& instance, const SessionState& session,
                                     const std::string& name);
    // SERVERPROPERTY(name): NULL for a property the release does not have.
    static Value serverProperty(const ServerVersion& version, const std::string& property);
};

}  // namespace standin
