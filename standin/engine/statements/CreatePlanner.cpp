#include "statements/CreatePlanner.h"

#include <algorithm>
#include <climits>

#include "Collation.h"
#include "FilePaths.h"
#include "Instance.h"
#include "Messages.h"

namespace standin {

namespace {

std::string extensionFor(FileKind k) {
    return k == FileKind::Primary ? ".mdf" : k == FileKind::Log ? ".ldf" : ".ndf";
}

}  // namespace

OpResult CreatePlanner::plan(const CreateDatabaseStatement& c, CreatePlan& out) const {
    layOut(c, out);
    for (size_t i = 0; i < out.table.size(); ++i) {
        OpResult r = checkEntry(out, i);
        if (!r.ok) return r;
    }
    if (out.table[0].sizePages < Instance::kMinimumPrimaryPages) {
        return OpResult::failure(Messages::error(1803, 16, 1,
                                                 "CREATE DATABASE failed. The primary file must "
                                                 "be at least 1 MB to accommodate a copy of the "
                                                 "model database."));
    }
    OpResult disk = checkDisk(out);
    if (!disk.ok) return disk;

    out.header = FileHeader{};
    out.header.databaseName = c.name;
    out.header.databaseId = Instance::newDatabaseId();
    out.header.version = instance_.version().databaseVersion();
    out.header.collationId = Collation::kDefaultId;
    // A new database starts with model's recovery model, recorded in its primary.
    if (const Database* model = instance_.findById(3))
        out.header.recovery = instance_.recoveryOf(*model);
    FileHeader whole = out.header;
    whole.fileTable = out.table;
    if (DataFile::encodeSlot(whole).empty())
        return OpResult::failure(Messages::createFailed(instance_.version()));
    return {};
}

void CreatePlanner::layOut(const CreateDatabaseStatement& c, CreatePlan& out) const {
    std::vector<FileSpec> data = c.dataFiles;
    std::vector<FileSpec> logs = c.logFiles;
    if (data.empty()) data.push_back(FileSpec{});
    if (logs.empty()) logs.push_back(FileSpec{});
    out.name = c.name;
    out.table.clear();
    out.explicitPath.clear();
    auto add = [&](const FileSpec& s, FileKind kind, size_t id, const std::string& logical) {
        out.table.push_back(entry(s, kind, static_cast<uint16_t>(id), logical));
        out.explicitPath.push_back(s.hasFileName);
    };
    add(data[0], FileKind::Primary, 1, c.name);
    add(logs[0], FileKind::Log, 2, c.name + "_log");
    for (size_t i = 1; i < data.size(); ++i)
        add(data[i], FileKind::Secondary, i + 2, c.name + "_" + std::to_string(i + 1));
    for (size_t j = 1; j < logs.size(); ++j)
        add(logs[j], FileKind::Log, data.size() + 1 + j, c.name + "_log" + std::to_string(j + 1));
}

FileTableEntry CreatePlanner::entry(const FileSpec& s, FileKind kind, uint16_t id,
                                    const std::string& logical) const {
    FileTableEntry e;
    e.fileId = id;
    e.kind = kind;
    e.groupId = kind == FileKind::Log ? 0 : static_cast<uint16_t>(s.groupId);
    e.logicalName = s.hasName ? s.logicalName : logical;
    e.physicalPath = s.hasFileName
                         ? FilePaths::clean(s.fileName, instance_.options().windowsDrives)
                         : (instance_.dataDir() / (e.logicalName + extensionFor(kind))).string();
    int64_t pages = s.sizeKb ? (*s.sizeKb + 7) / 8 : Instance::kDefaultFilePages;
    if (kind != FileKind::Primary && pages < Instance::kMinimumFilePages)
        pages = Instance::kMinimumFilePages;
    e.sizePages = static_cast<uint32_t>(std::min<int64_t>(pages, INT32_MAX + int64_t{1}));
    e.usedPages = kind == FileKind::Primary          ? Instance::kDataUsedPages
                  : kind == FileKind::Log && id == 2 ? Instance::kLogUsedPages
                                                     : DataFile::kHeaderPages;
    if (s.maxSizeKb) {
        e.maxSizePages = *s.maxSizeKb < 0
                             ? -1
                             : static_cast<int32_t>(std::min<int64_t>(*s.maxSizeKb / 8, INT32_MAX));
    }
    if (s.growth) {
        e.growthPercent = s.growthPercent;
        e.growth = static_cast<int32_t>(
            std::min<int64_t>(s.growthPercent ? *s.growth : *s.growth / 8, INT32_MAX));
    }
    return e;
}

OpResult CreatePlanner::checkEntry(const CreatePlan& plan, size_t i) const {
    const FileTableEntry& e = plan.table[i];
    const ServerVersion& v = instance_.version();
    for (size_t k = 0; k < i; ++k) {
        if (Collation::equal(plan.table[k].logicalName, e.logicalName)) {
            return OpResult::failure(Messages::error(1828, 16, 1,
                                                     "The logical file name \"" + e.logicalName +
                                                         "\" is already in use. Choose a "
                                                         "different name."));
        }
    }
    if (e.logicalName.empty() || Collation::length(e.logicalName) > FilePaths::kMaxNameChars)
        return OpResult::failure(Messages::emptyName());
    if (!plan.explicitPath[i] && !FilePaths::usableInFileName(e.logicalName))
        return OpResult::failure(Messages::badFileName(e.physicalPath), Messages::createFailed(v));
    if (!FilePaths::isAbsolute(e.physicalPath) ||
        Collation::length(e.physicalPath) > FilePaths::kMaxPathChars) {
        return OpResult::failure(Messages::fileActivation(v, e.physicalPath),
                                 Messages::createFailed(v));
    }
    if (e.sizePages > INT32_MAX) {
        return OpResult::failure(Messages::error(1842, 16, 1,
                                                 "The file size, max size cannot be greater than "
                                                 "2147483647 in units of a page size."));
    }
    return {};
}

OpResult CreatePlanner::checkDisk(const CreatePlan& plan) const {
    for (const FileTableEntry& e : plan.table) {
        if (FilePaths::taken(e.physicalPath))
            return OpResult::failure(Messages::fileExists(instance_.version(), e.physicalPath),
                                     Messages::createFailed(instance_.version()));
    }
    return {};
}

}  // namespace standin
