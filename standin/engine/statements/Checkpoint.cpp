#include "statements/Checkpoint.h"

#include "Instance.h"
#include "Parser.h"
#include "Sessions.h"
#include "statements/BackupLog.h"
#include "statements/StatementContext.h"

namespace standin {

CheckpointStatement Checkpoint::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    if (c.peek().kind == SqlToken::Kind::Number) c.skip();  // the duration
    return {};
}

Outcome Checkpoint::run(const CheckpointStatement&, StatementContext& c) {
    Message err;
    Database* db = c.usableDatabase(c.session.database, err);
    if (!db) return c.failed(err);
    if (c.instance.recoveryOf(*db) != RecoveryModel::Simple || c.instance.logHeld(*db))
        return c.reply({});
    return c.reply(BackupLog::truncateLog(*db));
}

}  // namespace standin
