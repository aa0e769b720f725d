#pragma once
// sp_detach_db [@dbname =] name [, [@skipchecks =] ...]: Korvid's detach. The files' headers
// record the clean detach and their sizes, the database leaves the catalog and its files are
// let go. A system database is 7940, one in use (any session's current database) 3703, an
// unknown one 15010.

#include <string>

#include "OpResult.h"
#include "statements/ProcedureCall.h"

namespace standin {

class Instance;
class Sessions;
class ServerVersion;
struct Database;

class Detach {
public:
    static Procedure procedure();
    static OpResult detach(Instance& instance, const Sessions& sessions, const std::string& name);

private:
    static OpResult run(StatementContext& context, const ProcedureArgs& args);
    // Records in every file's header whether the database was cleanly detached, and the
    // current sizes in the primary's file table; false when a header could not be written.
    static bool markDetached(Database& db, bool clean, std::string& error);
    static Message noSuchDatabase(const ServerVersion& version, const std::string& name);  // 15010
};

}  // namespace standin
