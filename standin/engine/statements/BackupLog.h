#pragma once
// BACKUP LOG db WITH TRUNCATE_ONLY | NO_LOG: the log is freed down to its active part, as the
// shrink batch for 2000 and 2005 asks before DBCC SHRINKFILE. Releases without the TruncateOnly
// rule (2008 on) refuse it with Msg 155, a compile error: nothing of the batch runs.

#include <string>

#include "OpResult.h"
#include "Outcome.h"

namespace standin {

class Parser;
struct Database;
struct StatementContext;

struct BackupLogStatement {
    std::string database;
    std::string option;  // TRUNCATE_ONLY or NO_LOG
};

class BackupLog {
public:
    static BackupLogStatement read(Parser& parser);
    // master (4212), tempdb (3147), an unknown database (911) or one whose files could not be
    // opened (945) are refused, each followed by 3013.
    static Outcome run(const BackupLogStatement& backup, StatementContext& context);
    // Frees every log of the database down to its active part (also CHECKPOINT under SIMPLE).
    static OpResult truncateLog(Database& db);
};

}  // namespace standin
