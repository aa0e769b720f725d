#include "statements/AlterDatabase.h"

#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "Sessions.h"
#include "statements/StatementContext.h"

namespace standin {

AlterDatabaseStatement AlterDatabase::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("DATABASE");
    AlterDatabaseStatement a;
    a.database = c.name();
    c.expectWord("SET");
    for (const char* option : {"RECOVERY", "OFFLINE", "ONLINE", "SINGLE_USER", "MULTI_USER"}) {
        if (c.acceptWord(option)) a.option = option;
    }
    if (a.option.empty()) c.failHere();
    if (a.option == "RECOVERY") {
        for (const char* model : {"FULL", "BULK_LOGGED", "SIMPLE"}) {
            if (c.acceptWord(model)) a.recovery = model;
        }
        if (a.recovery.empty()) c.failHere();
    }
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
    } else if (db->entry.dbid == 2 || (db->entry.dbid == 1 && a.option != "RECOVERY")) {
        r.fail(Messages::error(
            5058, 16, 1,
            "Option '" + a.option + "' cannot be set in database '" + db->name() + "'."));
    } else {
        r = change(a, *db, c);
    }
    if (!r.ok && modern)
        r.messages.push_back(Messages::error(5069, 16, 1, "ALTER DATABASE statement failed."));
    return c.reply(r);
}

OpResult AlterDatabase::change(const AlterDatabaseStatement& a, Database& db, StatementContext& c) {
    // An offline database can only be brought online; one that did not recover or is being
    // restored takes no option.
    const bool bringsOnline = a.option == "ONLINE" && db.offline;
    if (auto why = c.instance.entryRefusal(db, false); why && !bringsOnline)
        return OpResult::failure(*why);
    // Going offline or into single-user access needs the database to itself: a real server
    // waits for the others to leave, or ends their sessions WITH ROLLBACK.
    const bool othersInside = a.option == "OFFLINE"
                                  ? c.sessions.inUse(db.name())
                                  : c.sessions.inUseByOther(db.name(), c.session.spid);
    if ((a.option == "OFFLINE" || a.option == "SINGLE_USER") && othersInside) {
        return OpResult::failure(Messages::error(
            5070, 16, 2,
            "Database state cannot be changed while other users are using the database '" +
                db.name() + "'"));
    }
    if (a.option == "OFFLINE" || a.option == "ONLINE") {
        db.offline = a.option == "OFFLINE";
        return {};
    }
    if (a.option == "SINGLE_USER" || a.option == "MULTI_USER") {
        db.singleUser = a.option == "SINGLE_USER";
        return {};
    }
    const RecoveryModel model = a.recovery == "SIMPLE"        ? RecoveryModel::Simple
                                : a.recovery == "BULK_LOGGED" ? RecoveryModel::BulkLogged
                                                              : RecoveryModel::Full;
    return setRecovery(db, model);
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
