#include "statements/Detach.h"

#include "Instance.h"
#include "Sessions.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

const char* const kName = "sp_detach_db";

}  // namespace

Procedure Detach::procedure() {
    return {kName, {"@dbname", "@skipchecks"}, 1, false, &Detach::run};
}

OpResult Detach::run(StatementContext& c, const ProcedureArgs& args) {
    return detach(c.instance, c.sessions, *args[0]);
}

OpResult Detach::detach(Instance& instance, const Sessions& sessions, const std::string& name) {
    return instance.detach(
        name, [&](const Database& db) { return sessions.inUse(db.name()); }, kName);
}

}  // namespace standin
