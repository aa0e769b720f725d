#include "AttachPlanner.h"

#include "Collation.h"
#include "FilePaths.h"
#include "Instance.h"
#include "Messages.h"

namespace standin {

OpResult AttachPlanner::plan(const std::string& name, std::vector<std::string> paths,
                             AttachPlan& out) const {
    out = AttachPlan{};
    out.name = name;
    for (std::string& p : paths) {
        p = FilePaths::clean(p);
        if (Collation::length(p) > FilePaths::kMaxPathChars)
            return refuse(out, Messages::deviceActivation(p));
    }
    out.primaryPath = paths[0];
    OpResult r = readPrimary(out);
    if (r.ok) r = chooseNamed(out, paths);
    bool anyLogPresent = false;
    if (r.ok) r = findRecorded(out, anyLogPresent);
    if (r.ok) r = planNewLog(out, anyLogPresent);
    return r;
}

OpResult AttachPlanner::refuse(const AttachPlan& plan, Message cause) const {
    return OpResult::failure(std::move(cause), Messages::couldNotOpenNewDatabase(plan.name));
}

OpResult AttachPlanner::readPrimary(AttachPlan& plan) const {
    const std::string& path = plan.primaryPath;
    if (!FilePaths::isAbsolute(path)) return refuse(plan, Messages::deviceActivation(path));
    const DataFile::Inspection pi = DataFile::inspect(path);
    if (pi.status == DataFile::Status::NotDataFile ||
        (pi.status == DataFile::Status::Ok && pi.header.kind != FileKind::Primary))
        return refuse(plan, Messages::notPrimaryFile(path));
    if (pi.status != DataFile::Status::Ok) return refuse(plan, Messages::deviceActivation(path));
    plan.primary = pi.header;
    plan.chosen[plan.primary.fileId] = path;
    return {};
}

OpResult AttachPlanner::chooseNamed(AttachPlan& plan, const std::vector<std::string>& paths) const {
    const FileHeader& ph = plan.primary;
    for (size_t i = 1; i < paths.size(); ++i) {
        const std::string& p = paths[i];
        if (!FilePaths::isAbsolute(p)) return refuse(plan, Messages::deviceActivation(p));
        const DataFile::Inspection ins = DataFile::inspect(p);
        if (ins.status == DataFile::Status::NotDataFile)
            return refuse(plan, Messages::differentDatabases());
        if (ins.status != DataFile::Status::Ok) return refuse(plan, Messages::deviceActivation(p));
        const FileTableEntry* e = nullptr;
        for (const FileTableEntry& t : ph.fileTable) {
            if (t.fileId == ins.header.fileId) e = &t;
        }
        if (ins.header.databaseId != ph.databaseId || !e || e->kind != ins.header.kind ||
            plan.chosen.count(ins.header.fileId))
            return refuse(plan, Messages::differentDatabases());
        plan.chosen[ins.header.fileId] = p;
    }
    return {};
}

// Files the statement did not name are looked for where the primary last saw them.
OpResult AttachPlanner::findRecorded(AttachPlan& plan, bool& anyLogPresent) const {
    const FileHeader& ph = plan.primary;
    for (const FileTableEntry& e : ph.fileTable) {
        if (plan.chosen.count(e.fileId)) {
            if (e.kind == FileKind::Log) anyLogPresent = true;
            continue;
        }
        if (FilePaths::isAbsolute(e.physicalPath)) {
            const DataFile::Inspection ins = DataFile::inspect(e.physicalPath);
            if (ins.status == DataFile::Status::Ok && ins.header.databaseId == ph.databaseId &&
                ins.header.fileId == e.fileId && ins.header.kind == e.kind) {
                plan.chosen[e.fileId] = e.physicalPath;
                if (e.kind == FileKind::Log) anyLogPresent = true;
                continue;
            }
        }
        if (e.kind != FileKind::Log)
            return refuse(plan, Messages::deviceActivation(e.physicalPath));
        plan.missingLogs.push_back(e.physicalPath);
    }
    return {};
}

OpResult AttachPlanner::planNewLog(AttachPlan& plan, bool anyLogPresent) const {
    if (plan.missingLogs.empty()) return {};
    // Only a cleanly detached database can start over with a new, empty log.
    if (anyLogPresent || !plan.primary.cleanlyDetached)
        return refuse(plan, Messages::deviceActivation(plan.missingLogs.front()));
    plan.newLogPath =
        (std::filesystem::path(plan.primaryPath).parent_path() / (plan.name + "_log.LDF")).string();
    if (!FilePaths::usableInFileName(plan.name))
        return refuse(plan, Messages::badFileName(plan.newLogPath));
    if (FilePaths::taken(plan.newLogPath))
        return refuse(plan, Messages::fileExists(plan.newLogPath));
    return {};
}

}  // namespace standin
