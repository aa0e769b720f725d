#include "statements/Attach.h"

#include <algorithm>
#include <filesystem>

#include "Instance.h"
#include "Messages.h"
#include "statements/AttachPlanner.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

// A log made by this attach goes again when the attach fails after all.
void dropNewLog(const AttachPlan& plan, Database& db) {
    if (plan.newLogPath.empty()) return;
    db.files.clear();
    std::error_code ec;
    std::filesystem::remove(plan.newLogPath, ec);
}

}  // namespace

Procedure Attach::procedure() {
    std::vector<std::string> parameters = {"@dbname"};
    for (int i = 1; i <= 16; ++i) parameters.push_back("@filename" + std::to_string(i));
    return {"sp_attach_db", parameters, 2, true, &Attach::run};
}

OpResult Attach::run(StatementContext& c, const ProcedureArgs& args) {
    std::vector<std::string> paths;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i]) paths.push_back(*args[i]);
    }
    return attach(c.instance, *args[0], paths);
}

OpResult Attach::attach(Instance& instance, const std::string& name,
                        std::vector<std::string> paths) {
    OpResult r = instance.checkNewName(name);
    if (!r.ok) return r;
    AttachPlan plan;
    r = AttachPlanner(instance).plan(name, std::move(paths), plan);
    if (!r.ok) return r;
    return commit(instance, plan);
}

OpResult Attach::commit(Instance& instance, const AttachPlan& plan) {
    auto db = std::make_unique<Database>();
    OpResult held = holdFiles(instance, plan, *db);
    if (!held.ok) return held;
    OpResult notes = createLog(instance, plan, *db);
    if (!notes.ok) return notes;
    if (plan.upgradeFrom) upgrade(instance.version(), plan, *db, notes);

    // The other files first; the primary's file table, written last, makes the attach whole.
    DataFile* primary = db->primary();
    std::string err;
    for (auto& f : db->files) {
        if (f.get() == primary) continue;
        f->header().databaseName = plan.name;
        f->header().cleanlyDetached = false;
        if (!f->writeHeader(err)) {
            const std::string p = f->path().string();
            dropNewLog(plan, *db);
            return AttachPlanner::refuse(plan, Messages::createFileError(p, err));
        }
    }
    FileHeader& h = primary->header();
    h.databaseName = plan.name;
    h.cleanlyDetached = false;
    for (FileTableEntry& e : h.fileTable) {
        if (DataFile* f = db->file(e.fileId)) {
            e.physicalPath = f->path().string();
            e.sizePages = f->sizePages();
            e.usedPages = f->header().usedPages;
        }
    }
    if (!primary->writeHeader(err)) {
        dropNewLog(plan, *db);
        return AttachPlanner::refuse(plan, Messages::createFileError(plan.primaryPath, err));
    }
    if (instance.registerDatabase(std::move(db), plan.name, plan.primaryPath, err))
        return AttachPlanner::refuse(
            plan, Messages::createFileError(instance.catalogFile().string(), err));
    return notes;
}

// Files of an older release take this release's version, as the server converts them.
void Attach::upgrade(const ServerVersion& version, const AttachPlan& plan, Database& db,
                     OpResult& notes) {
    const std::string from = std::to_string(plan.upgradeFrom);
    const std::string to = std::to_string(version.databaseVersion());
    for (auto& f : db.files) f->header().version = version.databaseVersion();
    notes.messages.push_back(Messages::info(944, "Converting database '" + plan.name +
                                                     "' from version " + from +
                                                     " to the current version " + to + "."));
    notes.messages.push_back(Messages::info(951, "Database '" + plan.name +
                                                     "' running the upgrade step from version " +
                                                     from + " to version " + to + "."));
}

OpResult Attach::holdFiles(Instance& instance, const AttachPlan& plan, Database& db) {
    const FileHeader& ph = plan.primary;
    for (const FileTableEntry& e : ph.fileTable) {
        auto it = plan.chosen.find(e.fileId);
        if (it == plan.chosen.end()) continue;
        DataFile::Status st;
        std::string err;
        auto f = instance.files().hold(it->second, st, err);
        if (!f) {
            return AttachPlanner(instance).cannotOpen(plan, it->second,
                                                      FileAccess::windowsError(it->second, st));
        }
        if (f->header().databaseId != ph.databaseId || f->header().fileId != e.fileId)
            return AttachPlanner::refuse(plan, Messages::differentDatabases(instance.version()));
        if (e.fileId == ph.fileId)
            db.files.insert(db.files.begin(), std::move(f));
        else
            db.files.push_back(std::move(f));
    }
    DataFile* primary = db.primary();
    if (!primary || primary->header().fileId != ph.fileId)
        return AttachPlanner::refuse(plan, Messages::notPrimaryFile(plan.primaryPath));
    return {};
}

OpResult Attach::createLog(Instance& instance, const AttachPlan& plan, Database& db) {
    OpResult r;
    if (plan.newLogPath.empty()) return r;
    const FileHeader& ph = plan.primary;
    const FileTableEntry* firstLog = nullptr;
    for (const FileTableEntry& e : ph.fileTable) {
        if (e.kind == FileKind::Log && !firstLog) firstLog = &e;
    }
    FileHeader lh;
    lh.kind = FileKind::Log;
    lh.fileId = firstLog ? firstLog->fileId : 2;
    lh.databaseName = plan.name;
    lh.databaseId = ph.databaseId;
    lh.version = ph.version;
    lh.collationId = ph.collationId;
    lh.usedPages = Instance::kLogMinimumPages;
    std::string err;
    auto log = instance.files().create(plan.newLogPath, lh, Instance::kNewLogPages, err);
    if (!log) return AttachPlanner::refuse(plan, Messages::createFileError(plan.newLogPath, err));
    FileTableEntry le;
    le.fileId = lh.fileId;
    le.kind = FileKind::Log;
    le.groupId = 0;
    le.logicalName = firstLog ? firstLog->logicalName : plan.name + "_log";
    le.physicalPath = plan.newLogPath;
    le.sizePages = Instance::kNewLogPages;
    le.usedPages = Instance::kLogMinimumPages;
    auto& table = db.primary()->header().fileTable;
    table.erase(std::remove_if(table.begin(), table.end(),
                               [](const FileTableEntry& e) { return e.kind == FileKind::Log; }),
                table.end());
    table.push_back(le);
    std::sort(table.begin(), table.end(),
              [](const FileTableEntry& a, const FileTableEntry& b) { return a.fileId < b.fileId; });
    db.files.push_back(std::move(log));
    for (const std::string& old : plan.missingLogs) {
        if (!instance.version().has(ReleaseRule::Messages2005)) {
            r.messages.push_back(Messages::deviceActivation(old, 1, 10));
        } else {
            r.messages.push_back(Messages::info(5111,
                                                "File activation failure. The physical "
                                                "file name \"" +
                                                    old + "\" may be incorrect."));
        }
    }
    r.messages.push_back(
        Messages::info(5182, "New log file '" + plan.newLogPath + "' was created."));
    return r;
}

}  // namespace standin
