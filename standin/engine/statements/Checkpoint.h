#pragma once
// CHECKPOINT [duration] in the current database: under the SIMPLE recovery model the log is
// freed down to its active part, as BACKUP LOG ... WITH TRUNCATE_ONLY does, so that the next
// DBCC SHRINKFILE cuts it; under FULL and BULK_LOGGED nothing is freed.

#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

struct CheckpointStatement {};

class Checkpoint {
public:
    static CheckpointStatement read(Parser& parser);
    static Outcome run(const CheckpointStatement& checkpoint, StatementContext& context);
};

}  // namespace standin
