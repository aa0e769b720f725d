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
    return const_cast<DataFile*>(static_cast<const Database*>(this)->file(fileId));
}

const DataFile* Database::file(uint16_t fileId) const {
    for (const auto& f : files) {
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
    applyStartStates();
}

std::optional<DatabaseState> parseDatabaseState(const std::string& text) {
    if (text == "OFFLINE") return DatabaseState::Offline;
    if (text == "RESTORING") return DatabaseState::Restoring;
    if (text == "SINGLE_USER") return DatabaseState::SingleUser;
    return std::nullopt;
}

void Instance::applyStartStates() {
    for (const StartState& s : options_.startStates) {
        Database* db = find(s.database);
        if (!db || db->system)
            throw std::runtime_error("--state names no user database '" + s.database + "'");
        db->offline = db->offline || s.state == DatabaseState::Offline;
        db->restoring = db->restoring || s.state == DatabaseState::Restoring;
        db->singleUser = db->singleUser || s.state == DatabaseState::SingleUser;
    }
}

std::optional<Message> Instance::entryRefusal(const Database& db, bool anotherSessionInside) const {
    const std::string& name = db.name();
    if (db.suspect) return Messages::unavailable(version(), name);
    if (db.offline)
        return Messages::error(942, 14, 4,
                               "Database '" + name + "' cannot be opened because it is offline.");
    if (db.restoring)
        return Messages::error(
            927, 14, 2,
            "Database '" + name + "' cannot be opened. It is in the middle of a restore.");
    if (db.singleUser && anotherSessionInside)
        return Messages::error(
            924, 14, 1,
            "Database '" + name + "' is already open and can only have one user at a time.");
    return std::nullopt;
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

bool Instance::logHeld(const Database& db) const {
    for (const std::string& held : options_.heldLogs) {
        if (Collation::equal(held, db.name())) return true;
    }
    return false;
}

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

bool Instance::forget(Database& db, std::string& error) {
    auto it = std::find_if(databases_.begin(), databases_.end(),
                           [&](const std::unique_ptr<Database>& d) { return d.get() == &db; });
    std::unique_ptr<Database> owned = std::move(*it);
    databases_.erase(it);
    if (saveCatalog(error)) return true;  // `owned` goes here, closing and releasing the files
    databases_.push_back(std::move(owned));
    return false;
}

// ---- recovery model -------------------------------------------------------------------------

RecoveryModel Instance::recoveryOf(const Database& db) const {
    if (!db.files.empty() && db.files.front()->header().recovery != RecoveryModel::Unset)
        return db.files.front()->header().recovery;
    const int id = db.entry.dbid;
    return id == 1 || id == 2 || id == 4 ? RecoveryModel::Simple : RecoveryModel::Full;
}

}  // namespace standin
