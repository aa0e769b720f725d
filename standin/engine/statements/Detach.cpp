#include "statements/Detach.h"

#include "Instance.h"
#include "Messages.h"
#include "Sessions.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

const char* const kName = "sp_detach_db";

Message inUse(const std::string& name) {
    return Messages::error(
        3703, 16, 2, "Cannot detach the database '" + name + "' because it is currently in use.",
        kName);
}

}  // namespace

Procedure Detach::procedure() {
    return {kName, {"@dbname", "@skipchecks"}, 1, false, &Detach::run};
}

OpResult Detach::run(StatementContext& c, const ProcedureArgs& args) {
    return detach(c.instance, c.sessions, *args[0]);
}

OpResult Detach::detach(Instance& instance, const Sessions& sessions, const std::string& name) {
    Database* db = instance.find(name);
    if (!db) return OpResult::failure(noSuchDatabase(instance.version(), name));
    if (db->system) {
        return OpResult::failure(Messages::error(
            7940, 16, 1, "System databases master, model, msdb, and tempdb cannot be detached.",
            kName));
    }
    // From 2005 on a database that did not recover must be repaired or dropped, not detached
    // (sp_detach_db "Restrictions"); 2000 lets it go.
    if (db->suspect && instance.version().has(ReleaseRule::RecoveryPending)) {
        return OpResult::failure(Messages::error(
            3707, 16, 2,
            "Cannot detach a suspect or recovery pending database. It must be repaired or dropped.",
            kName));
    }
    if (sessions.inUse(db->name())) return OpResult::failure(inUse(db->name()));
    std::string err;
    if (!markDetached(*db, true, err)) {
        markDetached(*db, false, err);
        return OpResult::failure(inUse(db->name()));
    }
    // The database leaves the catalog; its files close and are let go with it.
    if (!instance.forget(*db, err)) {
        markDetached(*db, false, err);
        return OpResult::failure(inUse(name));
    }
    return {};
}

bool Detach::markDetached(Database& db, bool clean, std::string& err) {
    DataFile* primary = db.primary();
    bool ok = true;
    for (auto& f : db.files) {
        if (f.get() == primary) continue;
        f->header().cleanlyDetached = clean;
        ok = f->writeHeader(err) && ok;
    }
    if (primary) {
        FileHeader& h = primary->header();
        for (FileTableEntry& e : h.fileTable) {
            if (const DataFile* f = db.file(e.fileId)) {
                e.sizePages = f->sizePages();
                e.usedPages = f->header().usedPages;
            }
        }
        h.cleanlyDetached = clean;
        ok = primary->writeHeader(err) && ok;
    }
    return ok;
}

Message Detach::noSuchDatabase(const ServerVersion& v, const std::string& db) {
    const std::string hint = v.has(ReleaseRule::Messages2005)
                                 ? "Supply a valid database name. To see available databases, "
                                   "use sys.databases."
                                 : "Use sp_helpdb to show available databases.";
    return Messages::error(15010, 16, 1, "The database '" + db + "' does not exist. " + hint,
                           kName);
}

}  // namespace standin
