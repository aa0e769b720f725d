#pragma once
// ALTER DATABASE db SET RECOVERY FULL | BULK_LOGGED | SIMPLE [WITH NO_WAIT | ROLLBACK IMMEDIATE |
// ROLLBACK AFTER n [SECONDS]]: the shrink batch from 2008 on switches to SIMPLE and back. The
// model is recorded in the primary's header, so it travels with the file.

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
    std::string recovery;  // upper case
};

class AlterDatabase {
public:
    static AlterDatabaseStatement read(Parser& parser);
    // An unknown database is 911 (5011 with the 2005 messages), tempdb's model cannot change
    // (5058); with the 2005 messages every refusal ends in 5069.
    static Outcome run(const AlterDatabaseStatement& alter, StatementContext& context);

private:
    // Recorded in the primary's header.
    static OpResult setRecovery(Database& db, RecoveryModel model);
    // WITH NO_WAIT | ROLLBACK IMMEDIATE | ROLLBACK AFTER n [SECONDS]
    static void termination(Parser& parser);
};

}  // namespace standin
