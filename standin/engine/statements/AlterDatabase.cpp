#include "statements/AlterDatabase.h"

#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "statements/StatementContext.h"

namespace standin {

AlterDatabaseStatement AlterDatabase::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("DATABASE");
    AlterDatabaseStatement a;
    a.database = c.name();
    c.expectWord("SET");
    c.expectWord("RECOVERY");
    for (const char* model : {"FULL", "BULK_LOGGED", "SIMPLE"}) {
        if (c.acceptWord(model)) a.recovery = model;
    }
    if (a.recovery.empty()) c.failHere();
    if (c.acceptWord("WITH")) termination(p);
    return a;
}

Outcome AlterDatabase::run(const AlterDatabaseStatement& a, StatementContext& c) {
    const bool modern = c.version().has(ReleaseRule::Messages2005);
    Database* db = c.instance.find(a.database);
    OpResult r;
    if (!db && modern) {
        r.fail(Messages::error(5011, 14, 5,
                               "User does not have permission to alter database '" + a.database +
                                   "', the database does not exist, or the database is not in a "
                                   "state that allows access checks."));
    } else if (!db) {
        r.fail(Messages::noSuchDatabase(c.version(), a.database));
    } else if (db->entry.dbid == 2) {
        r.fail(
            Messages::error(5058, 16, 1, "Option 'RECOVERY' cannot be set in database 'tempdb'."));
    } else if (db->suspect) {
        r.fail(Messages::unavailable(c.version(), db->name()));
    } else {
        const RecoveryModel model = a.recovery == "SIMPLE"        ? RecoveryModel::Simple
                                    : a.recovery == "BULK_LOGGED" ? RecoveryModel::BulkLogged
                                                                  : RecoveryModel::Full;
        r = setRecovery(*db, model);
    }
    if (!r.ok && modern)
        r.messages.push_back(Messages::error(5069, 16, 1, "ALTER DATABASE statement failed."));
    return c.reply(r);
}

OpResult AlterDatabase::setRecovery(Database& db, RecoveryModel model) {
    OpResult r;
    DataFile* primary = db.primary();
    if (!primary) return r;
    const RecoveryModel before = primary->header().recovery;
    primary->header().recovery = model;
    std::string err;
    if (!primary->writeHeader(err)) {
        primary->header().recovery = before;
        r.fail(Messages::createFileError(primary->path().string(), err));
    }
    return r;
}

void AlterDatabase::termination(Parser& p) {
    TokenCursor& c = p.cursor();
    if (!c.acceptWord("ROLLBACK")) {
        c.expectWord("NO_WAIT");
    } else if (c.acceptWord("AFTER")) {
        if (c.peek().kind != SqlToken::Kind::Number) c.failHere();
        c.skip();
        c.acceptWord("SECONDS");
    } else {
        c.expectWord("IMMEDIATE");
    }
}

}  // namespace standin
