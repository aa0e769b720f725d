#include "statements/BackupLog.h"

#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "statements/StatementContext.h"

namespace standin {

BackupLogStatement BackupLog::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("LOG");
    BackupLogStatement b;
    b.database = c.name();
    c.expectWord("WITH");
    const SqlToken& option = c.peek();
    if (c.acceptWord("TRUNCATE_ONLY")) {
        b.option = "TRUNCATE_ONLY";
    } else if (c.acceptWord("NO_LOG")) {
        b.option = "NO_LOG";
    } else {
        c.failHere();
    }
    if (!c.version().has(ReleaseRule::TruncateOnly)) {
        throw ParseFailure{TokenCursor::compileError(
            155, "'" + option.text + "' is not a recognized BACKUP option.", option.line)};
    }
    return b;
}

Outcome BackupLog::run(const BackupLogStatement& b, StatementContext& c) {
    Message refusal;
    Database* db = c.usableDatabase(b.database, refusal);
    if (db && db->entry.dbid == 1) {
        db = nullptr;
        refusal = Messages::error(
            4212, 16, 1,
            "Cannot back up the log of the master database. Use BACKUP DATABASE instead.");
    } else if (db && db->entry.dbid == 2) {
        db = nullptr;
        refusal = Messages::error(
            3147, 16, 1, "Backup and restore operations are not allowed on database tempdb.");
    }
    // A log held by an open transaction is not freed, and nothing says so.
    if (db && c.instance.logHeld(*db)) return c.reply({});
    if (db) return c.reply(truncateLog(*db));
    return c.reply(OpResult::failure(
        refusal, Messages::error(3013, 16, 1, "BACKUP LOG is terminating abnormally.")));
}

OpResult BackupLog::truncateLog(Database& db) {
    OpResult r;
    DataFile* primary = db.primary();
    std::string err;
    for (auto& f : db.files) {
        if (f->header().kind != FileKind::Log) continue;
        f->header().usedPages = Instance::kLogMinimumPages;
        f->writeHeader(err);
        if (primary) {
            for (FileTableEntry& e : primary->header().fileTable) {
                if (e.fileId == f->header().fileId) e.usedPages = Instance::kLogMinimumPages;
            }
        }
    }
    if (primary) primary->writeHeader(err);
    return r;
}

}  // namespace standin
