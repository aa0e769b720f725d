#include "statements/AttachPlanner.h"

#include <algorithm>

#include "Collation.h"
#include "FilePaths.h"
#include "Instance.h"
#include "Messages.h"

namespace standin {

namespace {

// Files written before versions were recorded count as SQL Server 2000 files.
uint32_t fileVersion(const FileHeader& h) {
    return std::max<uint32_t>(h.version, 539);
}

}  // namespace

OpResult AttachPlanner::plan(const std::string& name, std::vector<std::string> paths,
                             AttachPlan& out) const {
    out = AttachPlan{};
    out.name = name;
    for (std::string& p : paths) {
        p = FilePaths::clean(p, instance_.options().windowsDrives);
        if (Collation::length(p) > FilePaths::kMaxPathChars) return cannotOpen(out, p, 2);
    }
    out.primaryPath = paths[0];
    OpResult r = readPrimary(out);
    if (r.ok) r = checkVersion(out);
    if (r.ok) r = chooseNamed(out, paths);
    bool anyLogPresent = false;
    if (r.ok) r = findRecorded(out, anyLogPresent);
    if (r.ok) r = planNewLog(out, anyLogPresent);
    return r;
}

OpResult AttachPlanner::refuse(const AttachPlan& plan, Message cause) {
    return OpResult::failure(std::move(cause), Messages::couldNotOpenNewDatabase(plan.name));
}

OpResult AttachPlanner::cannotOpen(const AttachPlan& plan, const std::string& path,
                                   int windowsError) const {
    const ServerVersion& v = instance_.version();
    // SQL Server 2000 names every such file in one 5105, whatever the cause.
    if (!v.has(ReleaseRule::Messages2005)) return refuse(plan, Messages::deviceActivation(path));
    return OpResult::failure(Messages::cannotOpen(v, path, windowsError),
                             Messages::attachAbandoned(v, plan.name));
}

OpResult AttachPlanner::readPrimary(AttachPlan& plan) const {
    const std::string& path = plan.primaryPath;
    if (!FilePaths::isAbsolute(path)) return cannotOpen(plan, path, 2);
    const DataFile::Inspection pi = instance_.files().inspect(path);
    if (pi.status == DataFile::Status::NotDataFile ||
        (pi.status == DataFile::Status::Ok && pi.header.kind != FileKind::Primary))
        return refuse(plan, Messages::notPrimaryFile(path));
    if (pi.status != DataFile::Status::Ok)
        return cannotOpen(plan, path, FileAccess::windowsError(path, pi.status));
    plan.primary = pi.header;
    plan.chosen[plan.primary.fileId] = path;
    return {};
}

// A file of a later release is refused; one too old for this release too (2012 and later do
// not upgrade SQL Server 2000 files); one in between is upgraded by the attach.
OpResult AttachPlanner::checkVersion(AttachPlan& plan) const {
    const ServerVersion& v = instance_.version();
    const uint32_t found = fileVersion(plan.primary);
    const std::string has = std::to_string(found);
    if (found > v.databaseVersion() && !v.has(ReleaseRule::Messages2005)) {
        return OpResult::failure(
            Messages::error(602, 21, 50,
                            "Could not find row in sysindexes for database ID " +
                                std::to_string(instance_.nextDbid()) +
                                ", object ID 1, index ID 1. Run DBCC CHECKTABLE on sysindexes."));
    }
    if (found > v.databaseVersion()) {
        return OpResult::failure(
            Messages::couldNotOpenNewDatabase(plan.name),
            Messages::error(948, 20, 1,
                            "The database '" + plan.name +
                                "' cannot be opened because it is "
                                "version " +
                                has + ". This server supports version " +
                                std::to_string(v.databaseVersion()) +
                                " and earlier. A downgrade path is not supported."));
    }
    if (found < v.oldestUpgradable()) {
        return OpResult::failure(
            Messages::couldNotOpenNewDatabase(plan.name),
            Messages::error(
                950, 20, 1,
                "Database '" + plan.name +
                    "' cannot be upgraded because its "
                    "non-release version (" +
                    has +
                    ") is not supported by this version "
                    "of SQL Server. You cannot open a database that is incompatible with "
                    "this version of sqlservr.exe. You must re-create the database."));
    }
    if (found < v.databaseVersion()) plan.upgradeFrom = found;
    return {};
}

OpResult AttachPlanner::chooseNamed(AttachPlan& plan, const std::vector<std::string>& paths) const {
    const ServerVersion& v = instance_.version();
    const FileHeader& ph = plan.primary;
    for (size_t i = 1; i < paths.size(); ++i) {
        const std::string& p = paths[i];
        if (!FilePaths::isAbsolute(p)) return cannotOpen(plan, p, 2);
        const DataFile::Inspection ins = instance_.files().inspect(p);
        if (ins.status == DataFile::Status::NotDataFile)
            return refuse(plan, Messages::differentDatabases(v));
        if (ins.status != DataFile::Status::Ok)
            return cannotOpen(plan, p, FileAccess::windowsError(p, ins.status));
        const FileTableEntry* e = nullptr;
        for (const FileTableEntry& t : ph.fileTable) {
            if (t.fileId == ins.header.fileId) e = &t;
        }
        if (ins.header.databaseId != ph.databaseId || !e || e->kind != ins.header.kind ||
            plan.chosen.count(ins.header.fileId))
            return refuse(plan, Messages::differentDatabases(v));
        plan.chosen[ins.header.fileId] = p;
    }
    return {};
}

// Files the statement did not name are looked for where the primary last saw them.
OpResult AttachPlanner::findRecorded(AttachPlan& plan, bool& anyLogPresent) const {
    const ServerVersion& v = instance_.version();
    const FileHeader& ph = plan.primary;
    for (const FileTableEntry& e : ph.fileTable) {
        if (plan.chosen.count(e.fileId)) {
            if (e.kind == FileKind::Log) anyLogPresent = true;
            continue;
        }
        DataFile::Inspection ins;
        if (FilePaths::isAbsolute(e.physicalPath)) {
            ins = instance_.files().inspect(e.physicalPath);
            if (ins.status == DataFile::Status::Ok && ins.header.databaseId == ph.databaseId &&
                ins.header.fileId == e.fileId && ins.header.kind == e.kind) {
                plan.chosen[e.fileId] = e.physicalPath;
                if (e.kind == FileKind::Log) anyLogPresent = true;
                continue;
            }
        }
        if (e.kind == FileKind::Log) {
            plan.missingLogs.push_back(e.physicalPath);
        } else if (ins.status == DataFile::Status::Ok && v.has(ReleaseRule::Messages2005)) {
            return refuse(plan, Messages::differentDatabases(v));
        } else {
            return cannotOpen(plan, e.physicalPath,
                              FileAccess::windowsError(e.physicalPath, ins.status));
        }
    }
    return {};
}

OpResult AttachPlanner::planNewLog(AttachPlan& plan, bool anyLogPresent) const {
    if (plan.missingLogs.empty()) return {};
    const ServerVersion& v = instance_.version();
    const std::string& missing = plan.missingLogs.front();
    if (anyLogPresent || (!plan.primary.cleanlyDetached && !v.has(ReleaseRule::Messages2005)))
        return cannotOpen(plan, missing,
                          FileAccess::windowsError(missing, DataFile::Status::Missing));
    // Only a cleanly detached database can start over with a new, empty log.
    if (!plan.primary.cleanlyDetached) {
        OpResult r;
        r.messages.push_back(
            Messages::info(5111, "File activation failure. The physical file name \"" + missing +
                                     "\" may be incorrect."));
        r.messages.push_back(Messages::info(
            5113,
            "The log cannot be rebuilt because there were open transactions/users when the "
            "database was shutdown, no checkpoint occurred to the database, or the database "
            "was read-only. This error could occur if the transaction log file was manually "
            "deleted or lost due to a hardware or environment failure."));
        r.fail(Messages::couldNotOpenNewDatabase(plan.name));
        return r;
    }
    plan.newLogPath = newLogPath(plan);
    if (!v.has(ReleaseRule::RebuiltLogNamedForPrimary) && !FilePaths::usableInFileName(plan.name))
        return refuse(plan, Messages::badFileName(plan.newLogPath));
    if (FilePaths::taken(plan.newLogPath)) {
        OpResult r = refuse(plan, Messages::fileExists(v, plan.newLogPath));
        if (v.has(ReleaseRule::Messages2005)) {
            r.messages.push_back(
                Messages::info(5111, "File activation failure. The physical file name \"" +
                                         missing + "\" may be incorrect."));
        }
        return r;
    }
    return {};
}

// SQL Server 2000 puts the new log beside the primary and names it after the database; from
// 2005 on it goes to the server's default log folder (the data directory here), named after
// the primary file.
std::string AttachPlanner::newLogPath(const AttachPlan& plan) const {
    const ServerVersion& v = instance_.version();
    const std::filesystem::path primary(plan.primaryPath);
    const std::filesystem::path folder =
        v.has(ReleaseRule::RebuiltLogInDefaultFolder) ? instance_.dataDir() : primary.parent_path();
    const std::string stem =
        v.has(ReleaseRule::RebuiltLogNamedForPrimary) ? primary.stem().string() : plan.name;
    return (folder / (stem + "_log.LDF")).string();
}

}  // namespace standin
