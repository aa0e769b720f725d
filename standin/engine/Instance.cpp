#include "Instance.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include "Collation.h"
#include "DurableFile.h"
#include "FilePaths.h"
#include "Messages.h"

namespace standin {

DatabaseId Instance::newDatabaseId() {
    std::random_device rd;
    DatabaseId id{};
    for (size_t i = 0; i < id.size(); i += 4) {
        const uint32_t v = rd();
        for (size_t k = 0; k < 4; ++k) id[i + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    return id;
}

namespace {

int32_t fileStatus(const FileTableEntry& e, bool withGrowthBit) {
    int32_t s = e.kind == FileKind::Log ? 0x42 : 0x2;
    if (withGrowthBit && e.growthPercent) s |= 0x100000;
    return s;
}

// True for a file whose header pages hold nothing but zeros: created, never given a header.
bool neverWritten(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string buf(DataFile::kHeaderPages * DataFile::kPageSize, '\0');
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    buf.resize(static_cast<size_t>(in.gcount()));
    return std::all_of(buf.begin(), buf.end(), [](char c) { return c == '\0'; });
}

}  // namespace

DataFile* Database::file(uint16_t fileId) {
    for (auto& f : files) {
        if (f->header().fileId == fileId) return f.get();
    }
    return nullptr;
}

Value Instance::now() {
    using namespace std::chrono;
    const int64_t ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const int64_t dayMs = 86400000;
    // 25567 days lie between 1900-01-01 and 1970-01-01.
    return Value::dateTime(ms / dayMs + 25567, (ms % dayMs) * 300 / 1000);
}

Instance::Instance(std::filesystem::path dataDir, ServerOptions options)
    : dataDir_(std::filesystem::absolute(dataDir)),
      options_(std::move(options)),
      files_(options_.unreadablePrefixes),
      catalog_(dataDir_ / "catalog.kvc") {
    FilePaths::setWindowsDrives(options_.windowsDrives);
    std::error_code ec;
    std::filesystem::create_directories(dataDir_, ec);
    if (!std::filesystem::is_directory(dataDir_)) {
        throw std::runtime_error("cannot create the data directory " + dataDir_.string());
    }
    std::vector<CatalogEntry> entries;
    bool existed = false;
    std::string error;
    if (!catalog_.load(entries, existed, error)) throw std::runtime_error(error);

    struct SystemDb {
        const char* name;
        int dbid;
        const char* dataFile;
        const char* dataLogical;
        const char* logFile;
        const char* logLogical;
    };
    const SystemDb systemDbs[] = {
        {"master", 1, "master.mdf", "master", "mastlog.ldf", "mastlog"},
        {"tempdb", 2, "tempdb.mdf", "tempdev", "templog.ldf", "templog"},
        {"model", 3, "model.mdf", "modeldev", "modellog.ldf", "modellog"},
        {"msdb", 4, "msdbdata.mdf", "MSDBData", "msdblog.ldf", "MSDBLog"},
    };
    bool changed = !existed;
    for (const SystemDb& s : systemDbs) {
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const CatalogEntry& e) { return e.dbid == s.dbid; });
        CatalogEntry entry;
        if (it != entries.end()) {
            entry = *it;
        } else {
            entry.name = s.name;
            entry.dbid = s.dbid;
            entry.createdDays = 36742;  // 2000-08-06
            entry.primaryPath = (dataDir_ / s.dataFile).string();
            changed = true;
        }
        const DataFile::Inspection ins = DataFile::inspect(entry.primaryPath);
        bool create = ins.status == DataFile::Status::Missing;
        if (ins.status == DataFile::Status::NotDataFile && neverWritten(entry.primaryPath)) {
            // A crash while this server first created the file left it without a header.
            std::filesystem::remove(entry.primaryPath, ec);
            create = true;
        }
        if (create) {
            createSystemDatabase(entry, s.dataLogical, (dataDir_ / s.logFile).string(),
                                 s.logLogical);
        } else {
            openAttached(entry, true);
        }
        if (databases_.back()->suspect) {
            throw std::runtime_error("cannot open the system database " + entry.name + " (" +
                                     entry.primaryPath + ")");
        }
    }
    for (const CatalogEntry& e : entries) {
        if (e.dbid > 4) openAttached(e, false);
    }
    if (changed && !saveCatalog(error)) throw std::runtime_error(error);
}

Instance::~Instance() = default;

void Instance::createSystemDatabase(const CatalogEntry& entry, const std::string& dataLogical,
                                    const std::string& logFile, const std::string& logLogical) {
    auto db = std::make_unique<Database>();
    db->entry = entry;
    db->system = true;
    // The system databases' own files hold nothing worth keeping: a stale log left without
    // its primary is replaced.
    std::error_code ec;
    std::filesystem::remove(logFile, ec);

    FileHeader h;
    h.databaseName = entry.name;
    h.databaseId = newDatabaseId();
    h.version = version().databaseVersion();
    h.collationId = Collation::kDefaultId;
    FileTableEntry data{1,
                        FileKind::Primary,
                        1,
                        dataLogical,
                        entry.primaryPath,
                        kDefaultFilePages,
                        kDataUsedPages,
                        -1,
                        10,
                        true};
    FileTableEntry log{
        2, FileKind::Log, 0, logLogical, logFile, kMinimumFilePages, kLogUsedPages, -1, 10, true};
    h.fileTable = {data, log};
    std::string err;
    FileHeader lh = h;
    lh.kind = FileKind::Log;
    lh.fileId = 2;
    lh.usedPages = kLogUsedPages;
    lh.fileTable.clear();
    auto logHandle = DataFile::create(logFile, lh, kMinimumFilePages, err);
    h.usedPages = kDataUsedPages;
    auto primary = DataFile::create(entry.primaryPath, h, kDefaultFilePages, err);
    if (!primary || !logHandle) {
        throw std::runtime_error("cannot create the files of " + entry.name + " in " +
                                 dataDir_.string() + ": " + err);
    }
    db->files.push_back(std::move(primary));
    db->files.push_back(std::move(logHandle));
    databases_.push_back(std::move(db));
}

void Instance::openAttached(const CatalogEntry& entry, bool system) {
    auto db = std::make_unique<Database>();
    db->entry = entry;
    db->system = system;
    // The system databases' own files are always the server's to open.
    const FileAccess access = system ? FileAccess() : files_;
    DataFile::Status st;
    std::string err;
    auto primary = access.hold(entry.primaryPath, st, err);
    if (!primary || primary->header().kind != FileKind::Primary) {
        db->suspect = true;
        databases_.push_back(std::move(db));
        return;
    }
    const FileHeader& ph = primary->header();
    std::vector<std::unique_ptr<DataFile>> files;
    bool ok = true;
    for (const FileTableEntry& e : ph.fileTable) {
        if (e.fileId == ph.fileId) continue;
        auto f = access.hold(e.physicalPath, st, err);
        if (!f || f->header().databaseId != ph.databaseId || f->header().fileId != e.fileId) {
            ok = false;
            break;
        }
        files.push_back(std::move(f));
    }
    if (!ok) {
        db->suspect = true;
        databases_.push_back(std::move(db));
        return;
    }
    db->files.push_back(std::move(primary));
    for (auto& f : files) db->files.push_back(std::move(f));
    // An attached database's files are not cleanly detached while the server holds them.
    for (auto& f : db->files) {
        if (f->header().cleanlyDetached) {
            f->header().cleanlyDetached = false;
            f->writeHeader(err);
        }
    }
    databases_.push_back(std::move(db));
}

bool Instance::saveCatalog(std::string& error) {
    std::vector<CatalogEntry> entries;
    for (const auto& d : databases_) entries.push_back(d->entry);
    std::sort(entries.begin(), entries.end(),
              [](const CatalogEntry& a, const CatalogEntry& b) { return a.dbid < b.dbid; });
    return catalog_.save(entries, error);
}

Database* Instance::find(const std::string& name) {
    for (auto& d : databases_) {
        if (Collation::equal(d->entry.name, name)) return d.get();
    }
    return nullptr;
}

const Database* Instance::find(const std::string& name) const {
    for (const auto& d : databases_) {
        if (Collation::equal(d->entry.name, name)) return d.get();
    }
    return nullptr;
}

Database* Instance::findById(int dbid) {
    for (auto& d : databases_) {
        if (d->entry.dbid == dbid) return d.get();
    }
    return nullptr;
}

const Database* Instance::findById(int dbid) const {
    for (const auto& d : databases_) {
        if (d->entry.dbid == dbid) return d.get();
    }
    return nullptr;
}

int Instance::freeDbid() const {
    std::set<int> used;
    for (const auto& d : databases_) used.insert(d->entry.dbid);
    int id = 5;
    while (used.count(id)) ++id;
    return id;
}

// ---- names, registration ---------------------------------------------------------------------

OpResult Instance::checkNewName(const std::string& name) const {
    if (name.empty()) return OpResult::failure(Messages::emptyName());
    if (Collation::length(name) > FilePaths::FilePaths::kMaxNameChars)
        return OpResult::failure(Messages::nameTooLong(name));
    if (find(name)) return OpResult::failure(Messages::databaseExists(version(), name));
    return {};
}

std::unique_ptr<Database> Instance::registerDatabase(std::unique_ptr<Database> db,
                                                     const std::string& name,
                                                     const std::string& primaryPath,
                                                     std::string& error) {
    db->entry.name = name;
    db->entry.dbid = freeDbid();
    const Value t = now();
    db->entry.createdDays = t.i;
    db->entry.createdTicks = t.ticks;
    db->entry.primaryPath = primaryPath;
    databases_.push_back(std::move(db));
    if (saveCatalog(error)) return nullptr;
    std::unique_ptr<Database> back = std::move(databases_.back());
    databases_.pop_back();
    return back;
}

// ---- CREATE DATABASE ------------------------------------------------------------------------

OpResult Instance::createDatabase(const CreateDatabaseStatement& c) {
    OpResult r = checkNewName(c.name);
    if (!r.ok) return r;
    if (c.forAttach) {
        if (c.dataFiles.empty() || !c.dataFiles[0].hasFileName) {
            // FOR ATTACH needs at least the primary's FILENAME.
            return OpResult::failure(
                Messages::error(102, 15, 1, "Incorrect syntax near 'ATTACH'."));
        }
        std::vector<std::string> paths;
        for (const FileSpec& f : c.dataFiles) paths.push_back(f.fileName);
        for (const FileSpec& f : c.logFiles) paths.push_back(f.fileName);
        return attach(c.name, paths);
    }
    CreatePlan plan;
    r = CreatePlanner(*this).plan(c, plan);
    if (!r.ok) return r;
    return commitCreate(plan);
}

OpResult Instance::commitCreate(const CreatePlan& plan) {
    auto db = std::make_unique<Database>();
    std::vector<std::string> created;
    auto undo = [&]() {
        db->files.clear();
        for (const std::string& p : created) {
            std::error_code ec;
            std::filesystem::remove(p, ec);
        }
    };
    // Secondary and log files first: the primary, written last, is what makes them a database.
    std::vector<size_t> order;
    for (size_t i = 1; i < plan.table.size(); ++i) order.push_back(i);
    order.push_back(0);
    std::vector<std::unique_ptr<DataFile>> handles(plan.table.size());
    for (size_t i : order) {
        const FileTableEntry& e = plan.table[i];
        FileHeader fh = plan.header;
        fh.kind = e.kind;
        fh.fileId = e.fileId;
        fh.usedPages = e.usedPages;
        if (e.kind == FileKind::Primary) fh.fileTable = plan.table;
        if (e.kind != FileKind::Primary) fh.recovery = RecoveryModel::Unset;
        std::string err;
        handles[i] = files_.create(e.physicalPath, fh, e.sizePages, err);
        if (!handles[i]) {
            handles.clear();
            undo();
            return OpResult::failure(Messages::createFileError(e.physicalPath, err),
                                     Messages::createFailed(version()));
        }
        created.push_back(e.physicalPath);
    }
    for (auto& hdl : handles) db->files.push_back(std::move(hdl));
    std::string err;
    db = registerDatabase(std::move(db), plan.name, plan.table[0].physicalPath, err);
    if (!db) return {};
    undo();
    return OpResult::failure(Messages::createFileError(catalog_.file().string(), err),
                             Messages::createFailed(version()));
}

// ---- attach ---------------------------------------------------------------------------------

OpResult Instance::attach(const std::string& name, std::vector<std::string> paths) {
    OpResult r = checkNewName(name);
    if (!r.ok) return r;
    AttachPlan plan;
    r = AttachPlanner(*this).plan(name, std::move(paths), plan);
    if (!r.ok) return r;
    return commitAttach(plan);
}

namespace {

OpResult refuseAttach(const AttachPlan& plan, Message cause) {
    return OpResult::failure(std::move(cause), Messages::couldNotOpenNewDatabase(plan.name));
}

// A log made by this attach goes again when the attach fails after all.
void dropNewLog(const AttachPlan& plan, Database& db) {
    if (plan.newLogPath.empty()) return;
    db.files.clear();
    std::error_code ec;
    std::filesystem::remove(plan.newLogPath, ec);
}

}  // namespace

OpResult Instance::commitAttach(const AttachPlan& plan) {
    auto db = std::make_unique<Database>();
    OpResult held = holdPlannedFiles(plan, *db);
    if (!held.ok) return held;
    OpResult notes = createPlannedLog(plan, *db);
    if (!notes.ok) return notes;
    if (plan.upgradeFrom) upgrade(plan, *db, notes);

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
            return refuseAttach(plan, Messages::createFileError(p, err));
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
        return refuseAttach(plan, Messages::createFileError(plan.primaryPath, err));
    }
    if (registerDatabase(std::move(db), plan.name, plan.primaryPath, err))
        return refuseAttach(plan, Messages::createFileError(catalog_.file().string(), err));
    return notes;
}

// Files of an older release take this release's version, as the server converts them.
void Instance::upgrade(const AttachPlan& plan, Database& db, OpResult& notes) const {
    const std::string from = std::to_string(plan.upgradeFrom);
    const std::string to = std::to_string(version().databaseVersion());
    for (auto& f : db.files) f->header().version = version().databaseVersion();
    notes.messages.push_back(Messages::info(944, "Converting database '" + plan.name +
                                                     "' from version " + from +
                                                     " to the current version " + to + "."));
    notes.messages.push_back(Messages::info(951, "Database '" + plan.name +
                                                     "' running the upgrade step from version " +
                                                     from + " to version " + to + "."));
}

OpResult Instance::holdPlannedFiles(const AttachPlan& plan, Database& db) {
    const FileHeader& ph = plan.primary;
    for (const FileTableEntry& e : ph.fileTable) {
        auto it = plan.chosen.find(e.fileId);
        if (it == plan.chosen.end()) continue;
        DataFile::Status st;
        std::string err;
        auto f = files_.hold(it->second, st, err);
        if (!f && !version().modernMessages())
            return refuseAttach(plan, Messages::deviceActivation(it->second));
        if (!f) {
            return OpResult::failure(Messages::cannotOpen(version(), it->second,
                                                          FileAccess::windowsError(it->second, st)),
                                     Messages::attachAbandoned(version(), plan.name));
        }
        if (f->header().databaseId != ph.databaseId || f->header().fileId != e.fileId)
            return refuseAttach(plan, Messages::differentDatabases(version()));
        if (e.fileId == ph.fileId)
            db.files.insert(db.files.begin(), std::move(f));
        else
            db.files.push_back(std::move(f));
    }
    DataFile* primary = db.primary();
    if (!primary || primary->header().fileId != ph.fileId)
        return refuseAttach(plan, Messages::notPrimaryFile(plan.primaryPath));
    return {};
}

OpResult Instance::createPlannedLog(const AttachPlan& plan, Database& db) {
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
    lh.usedPages = kLogMinimumPages;
    std::string err;
    auto log = files_.create(plan.newLogPath, lh, kNewLogPages, err);
    if (!log) return refuseAttach(plan, Messages::createFileError(plan.newLogPath, err));
    FileTableEntry le;
    le.fileId = lh.fileId;
    le.kind = FileKind::Log;
    le.groupId = 0;
    le.logicalName = firstLog ? firstLog->logicalName : plan.name + "_log";
    le.physicalPath = plan.newLogPath;
    le.sizePages = kNewLogPages;
    le.usedPages = kLogMinimumPages;
    auto& table = db.primary()->header().fileTable;
    table.erase(std::remove_if(table.begin(), table.end(),
                               [](const FileTableEntry& e) { return e.kind == FileKind::Log; }),
                table.end());
    table.push_back(le);
    std::sort(table.begin(), table.end(),
              [](const FileTableEntry& a, const FileTableEntry& b) { return a.fileId < b.fileId; });
    db.files.push_back(std::move(log));
    for (const std::string& old : plan.missingLogs) {
        if (!version().modernMessages()) {
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

// ---- detach ---------------------------------------------------------------------------------

OpResult Instance::detach(const std::string& name,
                          const std::function<bool(const Database&)>& inUse,
                          const std::string& procName) {
    OpResult r;
    Database* db = find(name);
    if (!db) {
        r.fail(Messages::noSuchDatabaseToDetach(version(), name, procName));
        return r;
    }
    if (db->system) {
        r.fail(Messages::error(7940, 16, 1,
                               "System databases master, model, msdb, and tempdb cannot be "
                               "detached.",
                               procName));
        return r;
    }
    if (inUse(*db)) {
        r.fail(Messages::error(
            3703, 16, 2,
            "Cannot detach the database '" + db->name() + "' because it is currently in use.",
            procName));
        return r;
    }
    std::string err;
    auto markAll = [&](bool clean) {
        DataFile* primary = db->primary();
        bool ok = true;
        for (auto& f : db->files) {
            if (f.get() == primary) continue;
            f->header().cleanlyDetached = clean;
            ok = f->writeHeader(err) && ok;
        }
        if (primary) {
            FileHeader& h = primary->header();
            for (FileTableEntry& e : h.fileTable) {
                if (DataFile* f = db->file(e.fileId)) {
                    e.sizePages = f->sizePages();
                    e.usedPages = f->header().usedPages;
                }
            }
            h.cleanlyDetached = clean;
            ok = primary->writeHeader(err) && ok;
        }
        return ok;
    };
    if (!markAll(true)) {
        markAll(false);
        r.fail(Messages::error(
            3703, 16, 2,
            "Cannot detach the database '" + db->name() + "' because it is currently in use.",
            procName));
        return r;
    }
    auto it = std::find_if(databases_.begin(), databases_.end(),
                           [&](const std::unique_ptr<Database>& d) { return d.get() == db; });
    std::unique_ptr<Database> owned = std::move(*it);
    databases_.erase(it);
    if (!saveCatalog(err)) {
        markAll(false);
        databases_.push_back(std::move(owned));
        r.fail(Messages::error(
            3703, 16, 2,
            "Cannot detach the database '" + name + "' because it is currently in use.", procName));
        return r;
    }
    return r;  // `owned` goes here, closing and releasing the files
}

// ---- DBCC CHECKPRIMARYFILE ------------------------------------------------------------------

OpResult Instance::checkPrimaryFile(const std::string& rawPath, int64_t option, ResultSet& out) {
    OpResult r;
    const std::string path = FilePaths::clean(rawPath);
    DataFile::Inspection ins;
    const bool absolute = FilePaths::isAbsolute(path);
    if (absolute) ins = files_.inspect(path);
    const bool isPrimary =
        ins.status == DataFile::Status::Ok && ins.header.kind == FileKind::Primary;
    if (ins.status == DataFile::Status::Missing || ins.status == DataFile::Status::Unreadable ||
        ins.status == DataFile::Status::InUse) {
        const int windowsError = absolute ? FileAccess::windowsError(path, ins.status) : 2;
        r.fail(Messages::cannotOpen(version(), path, windowsError));
        return r;
    }
    if (option == 0) {
        out.columns = {{"IsMDF", ColType::Int, 0, false}};
        out.rows = {{Value::integer(isPrimary ? 1 : 0)}};
        return r;
    }
    if (!isPrimary) {
        r.fail(Messages::notPrimaryFile(path));
        return r;
    }
    const FileHeader& h = ins.header;
    if (option == 2) {
        out.columns = {{"property", ColType::NVarChar, 128, false},
                       {"value", ColType::SqlVariant, 0, true}};
        out.rows = {{Value::str("Database name"),
                     Value::str(FilePaths::fit(h.databaseName, FilePaths::kMaxNameChars))},
                    {Value::str("Database version"), Value::integer(h.version)},
                    {Value::str("Collation"), Value::integer(h.collationId)}};
        return r;
    }
    // Options 1 and 3: the file table, primary first and log second as the readers expect.
    std::vector<FileTableEntry> files = h.fileTable;
    auto rank = [&](const FileTableEntry& e) {
        return e.fileId == h.fileId ? 0 : e.kind == FileKind::Log ? 1 : 2;
    };
    std::stable_sort(files.begin(), files.end(),
                     [&](const FileTableEntry& a, const FileTableEntry& b) {
                         if (rank(a) != rank(b)) return rank(a) < rank(b);
                         return a.fileId < b.fileId;
                     });
    out.columns = {{"status", ColType::Int, 0, false},
                   {"fileid", ColType::SmallInt, 0, false},
                   {"name", ColType::NChar, 128, false},
                   {"filename", ColType::NChar, 260, false}};
    if (option == 1) {
        out.columns.push_back({"size", ColType::Int, 0, false});
        out.columns.push_back({"maxsize", ColType::Int, 0, false});
        out.columns.push_back({"growth", ColType::Int, 0, false});
    }
    for (const FileTableEntry& e : files) {
        std::vector<Value> row = {
            Value::integer(fileStatus(e, false)), Value::integer(e.fileId),
            Value::str(FilePaths::fit(e.logicalName, FilePaths::kMaxNameChars)),
            Value::str(FilePaths::fit(e.physicalPath, FilePaths::kMaxPathChars))};
        if (option == 1) {
            row.push_back(Value::integer(e.sizePages));
            row.push_back(Value::integer(e.maxSizePages));
            row.push_back(Value::integer(e.growth));
        }
        out.rows.push_back(std::move(row));
    }
    return r;
}

// ---- shrink and log truncation --------------------------------------------------------------

OpResult Instance::shrinkFile(Database& db, const ArgValue& file, std::optional<int64_t> targetMb,
                              bool truncate, ResultSet& out) {
    OpResult r;
    DataFile* primary = db.primary();
    const FileTableEntry* entry = nullptr;
    if (primary) {
        for (const FileTableEntry& e : primary->header().fileTable) {
            const bool match = file.kind == ArgValue::Kind::Integer
                                   ? e.fileId == file.number
                                   : Collation::equal(e.logicalName, file.text);
            if (match) entry = &e;
        }
    }
    DataFile* f = entry ? db.file(entry->fileId) : nullptr;
    if (!f) {
        r.fail(
            Messages::error(8985, 16, 1, "Could not locate file '" + file.text + "' in sysfiles."));
        return r;
    }
    const uint16_t fileId = entry->fileId;
    for (const std::string& failing : options_.failingShrinks) {
        if (Collation::equal(failing, entry->logicalName)) {
            r.fail(Messages::shrinkSerialized(version()));
            return r;
        }
    }
    const uint32_t used = std::max(f->header().usedPages, DataFile::kHeaderPages);
    uint64_t target = used;
    if (targetMb && *targetMb > 0)
        target = std::max<uint64_t>(used, static_cast<uint64_t>(*targetMb) * 128);
    const uint32_t current = f->sizePages();
    std::string err;
    if (truncate && target < current) {
        if (!f->truncate(static_cast<uint32_t>(target), err)) {
            r.fail(Messages::createFileError(f->path().string(), err));
            return r;
        }
    }
    for (FileTableEntry& e : primary->header().fileTable) {
        if (e.fileId == fileId) e.sizePages = f->sizePages();
    }
    primary->writeHeader(err);
    out.columns = {
        {"DbId", ColType::SmallInt, 0, false},   {"FileId", ColType::SmallInt, 0, false},
        {"CurrentSize", ColType::Int, 0, false}, {"MinimumSize", ColType::Int, 0, false},
        {"UsedPages", ColType::Int, 0, false},   {"EstimatedPages", ColType::Int, 0, false}};
    out.rows = {{Value::integer(db.entry.dbid), Value::integer(fileId),
                 Value::integer(f->sizePages()), Value::integer(used), Value::integer(used),
                 Value::integer(used)}};
    return r;
}

OpResult Instance::truncateLog(Database& db) {
    OpResult r;
    DataFile* primary = db.primary();
    std::string err;
    for (auto& f : db.files) {
        if (f->header().kind != FileKind::Log) continue;
        f->header().usedPages = kLogMinimumPages;
        f->writeHeader(err);
        if (primary) {
            for (FileTableEntry& e : primary->header().fileTable) {
                if (e.fileId == f->header().fileId) e.usedPages = kLogMinimumPages;
            }
        }
    }
    if (primary) primary->writeHeader(err);
    return r;
}

// ---- recovery model -------------------------------------------------------------------------

RecoveryModel Instance::recoveryOf(const Database& db) const {
    if (!db.files.empty() && db.files.front()->header().recovery != RecoveryModel::Unset)
        return db.files.front()->header().recovery;
    const int id = db.entry.dbid;
    return id == 1 || id == 2 || id == 4 ? RecoveryModel::Simple : RecoveryModel::Full;
}

OpResult Instance::setRecovery(Database& db, RecoveryModel model) {
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

OpResult Instance::checkpoint(Database& db) {
    if (recoveryOf(db) != RecoveryModel::Simple) return {};
    return truncateLog(db);
}

const char* Instance::recoveryName(RecoveryModel model) {
    switch (model) {
        case RecoveryModel::Simple:
            return "SIMPLE";
        case RecoveryModel::BulkLogged:
            return "BULK_LOGGED";
        default:
            return "FULL";
    }
}

// ---- system tables --------------------------------------------------------------------------

ResultSet Instance::sysdatabases() const {
    ResultSet t;
    t.columns = {
        {"name", ColType::NVarChar, 128, false},    {"dbid", ColType::SmallInt, 0, false},
        {"sid", ColType::VarBinary, 85, true},      {"mode", ColType::SmallInt, 0, false},
        {"status", ColType::Int, 0, false},         {"status2", ColType::Int, 0, false},
        {"crdate", ColType::DateTime, 0, false},    {"reserved", ColType::DateTime, 0, false},
        {"category", ColType::Int, 0, false},       {"cmptlevel", ColType::TinyInt, 0, false},
        {"filename", ColType::NVarChar, 260, true}, {"version", ColType::SmallIntN, 0, true},
    };
    std::vector<const Database*> sorted;
    for (const auto& d : databases_) sorted.push_back(d.get());
    std::sort(sorted.begin(), sorted.end(),
              [](const Database* a, const Database* b) { return a->entry.dbid < b->entry.dbid; });
    for (const Database* d : sorted) {
        // 16 torn page detection (not on tempdb); the recovery model shows as 8 "trunc. log on
        // chkpt." (SIMPLE) or 4 "select into/bulkcopy" (BULK_LOGGED), as SQL Server 2000 has it.
        int status = d->entry.dbid == 2 ? 0 : 16;
        const RecoveryModel model = recoveryOf(*d);
        if (model == RecoveryModel::Simple) status |= 8;
        if (model == RecoveryModel::BulkLogged) status |= 4;
        if (d->suspect) status |= 256;
        const uint32_t fileVersion =
            d->files.empty() ? version().databaseVersion()
                             : std::max<uint32_t>(d->files.front()->header().version, 539);
        t.rows.push_back({Value::str(d->entry.name), Value::integer(d->entry.dbid),
                          Value::bytes(std::string(1, '\x01')), Value::integer(0),
                          Value::integer(status), Value::integer(1090519040),
                          Value::dateTime(d->entry.createdDays, d->entry.createdTicks),
                          Value::dateTime(0, 0), Value::integer(0),
                          Value::integer(version().compatibilityLevel()),
                          Value::str(d->entry.primaryPath), Value::integer(fileVersion)});
    }
    return t;
}

ResultSet Instance::fileRows(Database& db, bool alt) const {
    ResultSet t;
    t.columns = {{"fileid", ColType::SmallInt, 0, false}, {"groupid", ColType::SmallInt, 0, false},
                 {"size", ColType::Int, 0, false},        {"maxsize", ColType::Int, 0, false},
                 {"growth", ColType::Int, 0, false},      {"status", ColType::Int, 0, false},
                 {"perf", ColType::Int, 0, false}};
    if (alt) t.columns.push_back({"dbid", ColType::SmallInt, 0, false});
    // SQL Server 2000's tables pad the names; the 2005 compatibility views give sysname and
    // nvarchar(260).
    const ColType text = version().modernMessages() ? ColType::NVarChar : ColType::NChar;
    t.columns.push_back({"name", text, 128, false});
    t.columns.push_back({"filename", text, 260, false});
    DataFile* primary = db.primary();
    if (!primary) return t;
    for (const FileTableEntry& e : primary->header().fileTable) {
        DataFile* f = db.file(e.fileId);
        std::vector<Value> row = {Value::integer(e.fileId),
                                  Value::integer(e.groupId),
                                  Value::integer(f ? f->sizePages() : e.sizePages),
                                  Value::integer(e.maxSizePages),
                                  Value::integer(e.growth),
                                  Value::integer(fileStatus(e, true)),
                                  Value::integer(0)};
        if (alt) row.push_back(Value::integer(db.entry.dbid));
        row.push_back(Value::str(FilePaths::fit(e.logicalName, FilePaths::kMaxNameChars)));
        row.push_back(Value::str(FilePaths::fit(e.physicalPath, FilePaths::kMaxPathChars)));
        t.rows.push_back(std::move(row));
    }
    return t;
}

ResultSet Instance::sysfiles(Database& db) const {
    return fileRows(db, false);
}

ResultSet Instance::sysaltfiles() const {
    ResultSet all;
    for (const auto& d : databases_) {
        ResultSet part = fileRows(*d, true);
        if (all.columns.empty()) all.columns = part.columns;
        for (auto& row : part.rows) all.rows.push_back(std::move(row));
    }
    return all;
}

}  // namespace standin
