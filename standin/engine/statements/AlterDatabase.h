#pragma once
// ALTER DATABASE db SET RECOVERY FULL | BULK_LOGGED | SIMPLE, SET OFFLINE | ONLINE, SET
// SINGLE_USER | MULTI_USER [WITH NO_WAIT | ROLLBACK IMMEDIATE | ROLLBACK AFTER n [SECONDS]]: the
// shrink batch from 2008 on switches to SIMPLE and back. The model is recorded in the primary's
// header, so it travels with the file; the state and the user access last while the server runs.

#include <string>

#include "DataFile.h"
#include "OpResult.h"
#include "Outcome.h"

namespace standin {

class Parser;
struct Database;
struct StatementContext;

struct AlterDatabaseStatement {
    std::string database;
    std::string option;    // RECOVERY, OFFLINE, ONLINE, SINGLE_USER or MULTI_USER
    std::string recovery;  // with RECOVERY: FULL, BULK_LOGGED or SIMPLE
};

class AlterDatabase {
public:
    static AlterDatabaseStatement read(Parser& parser);
    // An unknown database is 911 (5011 with the 2005 messages), tempdb's options cannot change
    // (5058); with the 2005 messages every refusal ends in 5069.
    static Outcome run(const AlterDatabaseStatement& alter, StatementContext& context);

private:
    static OpResult change(const AlterDatabaseStatement& alter, Database& db,
                           StatementContext& context);
    // Recorded in the primary's header.
    static OpResult setRecovery(Database& db, RecoveryModel model);
    // WITH NO_WAIT | ROLLBACK IMMEDIATE | ROLLBACK AFTER n [SECONDS]
    static void termination(Parser& parser);
};

}  // namespace standin
