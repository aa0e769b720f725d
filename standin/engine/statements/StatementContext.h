#pragma once
// What a statement runs against: the instance, the open sessions, the session whose batch
// runs, the batch's variables and the statement's line; with the replies statements share.

#include <cstdint>
#include <string>
#include <vector>

#include "Expr.h"
#include "OpResult.h"
#include "Outcome.h"
#include "ServerVersion.h"

namespace standin {

class Instance;
class Sessions;
struct Database;
struct EvalContext;
struct SessionState;

struct StatementContext {
    Instance& instance;
    Sessions& sessions;
    SessionState& session;
    const EvalContext& eval;
    uint16_t line;

    const ServerVersion& version() const;
    // The error on the statement's line, then DONE(ERROR); `abortBatch` when it ends the batch.
    Outcome failed(Message m, bool abortBatch = false) const;
    // The statement's messages on its line, then DONE (with ERROR when it failed).
    Outcome reply(const OpResult& r) const;
    // The database a statement acts on; nullptr with 911 (no such database) or the reason it
    // cannot be entered (945, 942, 927, 924) in `error`.
    Database* usableDatabase(const std::string& name, Message& error) const;
    // DBCC and procedure arguments given as @variables take the variables' values.
    bool resolve(std::vector<ArgValue>& args, Message& error) const;
};

}  // namespace standin
