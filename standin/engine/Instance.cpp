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
#include "Messages.h"

namespace standin {

namespace {

constexpr size_t kMaxPathChars = 260;
constexpr size_t kMaxNameChars = 128;
constexpr uint32_t kDefaultFilePages = 128;  // 1 MB
constexpr uint32_t kMinimumPrimaryPages = 128;
constexpr uint32_t kMinimumFilePages = 64;  // 512 KB
constexpr uint32_t kNewLogPages = 128;

DatabaseId newDatabaseId() {
    std::random_device rd;
    DatabaseId id{};
    for (size_t i = 0; i < id.size(); i += 4) {
        const uint32_t v = rd();
        for (size_t k = 0; k < 4; ++k) id[i + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    return id;
}

Message createFailed() {
    return Messages::error(1802, 16, 1,
                           "CREATE DATABASE failed. Some file names listed could not be created. "
                           "Check previous errors.");
}

Message alreadyExists(const std::string& path) {
    return Messages::error(5170, 16, 1,
                           "Cannot create file '" + path + "' because it already exists.");
}

Message createFileError(const std::string& path, const std::string& osError) {
    return Messages::error(5123, 16, 1,
                           "CREATE FILE encountered operating system error " + osError +
                               " while attempting to open or create the physical file '" + path +
                               "'.");
}

// A database name becomes part of a file name only when it cannot name another folder.
bool usableInFileName(const std::string& name) {
    for (unsigned char c : name) {
        if (c == '/' || c == '\\' || c < 0x20) return false;
    }
    return true;
}

Message badFileName(const std::string& path) {
    return createFileError(path,
                           "123(The filename, directory name, or volume label syntax is "
                           "incorrect.)");
}

bool isAbsolute(const std::string& p) {
    return !p.empty() && std::filesystem::path(p).is_absolute();
}

std::string extensionFor(FileKind k) {
    return k == FileKind::Primary ? ".mdf" : k == FileKind::Log ? ".ldf" : ".ndf";
}

// Names and paths read from a file are cut to their column's width: a header written by
// anything else must not make a row the client cannot decode.
std::string fit(const std::string& s, size_t maxChars) {
    if (Collation::length(s) <= maxChars) return s;
    size_t chars = 0;
    size_t i = 0;
    while (i < s.size() && chars < maxChars) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        ++chars;
    }
    return s.substr(0, i);
}

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

std::string Instance::cleanPath(std::string path) {
    while (!path.empty() && path.back() == ' ') path.pop_back();
    return path;
}

Instance::Instance(std::filesystem::path dataDir)
    : dataDir_(std::filesystem::absolute(dataDir)), catalog_(dataDir_ / "catalog.kvc") {
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
    DataFile::Status st;
    std::string err;
    auto primary = DataFile::hold(entry.primaryPath, st, err);
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
        auto f = DataFile::hold(e.physicalPath, st, err);
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

Database* Instance::findById(int dbid) {
    for (auto& d : databases_) {
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

// ---- CREATE DATABASE ------------------------------------------------------------------------

OpResult Instance::createDatabase(const CreateDatabaseStatement& c) {
    OpResult r;
    if (c.name.empty()) {
        r.fail(Messages::error(1038, 15, 1,
                               "Cannot use empty object or column names. Use a single space if "
                               "necessary."));
        return r;
    }
    if (Collation::length(c.name) > kMaxNameChars) {
        r.fail(Messages::error(103, 15, 1,
                               "The identifier that starts with '" + c.name.substr(0, 128) +
                                   "' is too long. Maximum length is 128."));
        return r;
    }
    if (find(c.name)) {
        r.fail(Messages::databaseExists(c.name));
        return r;
    }
    if (c.forAttach) {
        std::vector<std::string> paths;
        for (const FileSpec& f : c.dataFiles) paths.push_back(f.fileName);
        for (const FileSpec& f : c.logFiles) paths.push_back(f.fileName);
        if (c.dataFiles.empty() || !c.dataFiles[0].hasFileName) {
            // FOR ATTACH needs at least the primary's FILENAME.
            r.fail(Messages::error(102, 15, 1, "Incorrect syntax near 'ATTACH'."));
            return r;
        }
        return attach(c.name, paths);
    }

    std::vector<FileSpec> data = c.dataFiles;
    std::vector<FileSpec> logs = c.logFiles;
    if (data.empty()) data.push_back(FileSpec{});
    if (logs.empty()) logs.push_back(FileSpec{});

    std::vector<FileTableEntry> table;
    std::vector<bool> explicitPath;
    const size_t nData = data.size();
    auto add = [&](const FileSpec& s, FileKind kind, uint16_t id, const std::string& logical) {
        FileTableEntry e;
        e.fileId = id;
        e.kind = kind;
        e.groupId = kind == FileKind::Log ? 0 : static_cast<uint16_t>(s.groupId);
        e.logicalName = s.hasName ? s.logicalName : logical;
        e.physicalPath = s.hasFileName ? cleanPath(s.fileName)
                                       : (dataDir_ / (e.logicalName + extensionFor(kind))).string();
        int64_t pages = s.sizeKb ? (*s.sizeKb + 7) / 8 : kDefaultFilePages;
        if (kind != FileKind::Primary && pages < kMinimumFilePages) pages = kMinimumFilePages;
        e.sizePages = static_cast<uint32_t>(std::min<int64_t>(pages, INT32_MAX + int64_t{1}));
        e.usedPages = kind == FileKind::Primary          ? kDataUsedPages
                      : kind == FileKind::Log && id == 2 ? kLogUsedPages
                                                         : DataFile::kHeaderPages;
        if (s.maxSizeKb)
            e.maxSizePages =
                *s.maxSizeKb < 0
                    ? -1
                    : static_cast<int32_t>(std::min<int64_t>(*s.maxSizeKb / 8, INT32_MAX));
        if (s.growth) {
            e.growthPercent = s.growthPercent;
            e.growth = static_cast<int32_t>(
                std::min<int64_t>(s.growthPercent ? *s.growth : *s.growth / 8, INT32_MAX));
        }
        table.push_back(std::move(e));
        explicitPath.push_back(s.hasFileName);
    };
    add(data[0], FileKind::Primary, 1, c.name);
    add(logs[0], FileKind::Log, 2, c.name + "_log");
    for (size_t i = 1; i < data.size(); ++i)
        add(data[i], FileKind::Secondary, static_cast<uint16_t>(i + 2),
            c.name + "_" + std::to_string(i + 1));
    for (size_t j = 1; j < logs.size(); ++j)
        add(logs[j], FileKind::Log, static_cast<uint16_t>(nData + 1 + j),
            c.name + "_log" + std::to_string(j + 1));

    for (size_t i = 0; i < table.size(); ++i) {
        const FileTableEntry& e = table[i];
        for (size_t k = 0; k < i; ++k) {
            if (Collation::equal(table[k].logicalName, e.logicalName)) {
                r.fail(Messages::error(1828, 16, 1,
                                       "The logical file name \"" + e.logicalName +
                                           "\" is already in use. Choose a different name."));
                return r;
            }
        }
        if (e.logicalName.empty() || Collation::length(e.logicalName) > kMaxNameChars) {
            r.fail(Messages::error(1038, 15, 1,
                                   "Cannot use empty object or column names. Use a single space "
                                   "if necessary."));
            return r;
        }
        if (!explicitPath[i] && !usableInFileName(e.logicalName)) {
            r.fail(badFileName(e.physicalPath));
            r.messages.push_back(createFailed());
            return r;
        }
        if (!isAbsolute(e.physicalPath) || Collation::length(e.physicalPath) > kMaxPathChars) {
            r.fail(Messages::deviceActivation(e.physicalPath));
            r.messages.push_back(createFailed());
            return r;
        }
        if (e.sizePages > INT32_MAX) {
            r.fail(Messages::error(1842, 16, 1,
                                   "The file size, max size cannot be greater than 2147483647 in "
                                   "units of a page size."));
            return r;
        }
    }
    if (table[0].sizePages < kMinimumPrimaryPages) {
        r.fail(Messages::error(1803, 16, 1,
                               "CREATE DATABASE failed. The primary file must be at least 1 MB "
                               "to accommodate a copy of the model database."));
        return r;
    }
    for (const FileTableEntry& e : table) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(e.physicalPath, ec))) {
            r.fail(alreadyExists(e.physicalPath));
            r.messages.push_back(createFailed());
            return r;
        }
    }

    FileHeader h;
    h.databaseName = c.name;
    h.databaseId = newDatabaseId();
    h.collationId = Collation::kDefaultId;
    if (DataFile::encodeSlot([&] {
            FileHeader t = h;
            t.fileTable = table;
            return t;
        }())
            .empty()) {
        r.fail(createFailed());
        return r;
    }

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
    for (size_t i = 1; i < table.size(); ++i) order.push_back(i);
    order.push_back(0);
    std::vector<std::unique_ptr<DataFile>> handles(table.size());
    for (size_t i : order) {
        const FileTableEntry& e = table[i];
        FileHeader fh = h;
        fh.kind = e.kind;
        fh.fileId = e.fileId;
        fh.usedPages = e.usedPages;
        if (e.kind == FileKind::Primary) fh.fileTable = table;
        std::string err;
        handles[i] = DataFile::create(e.physicalPath, fh, e.sizePages, err);
        if (!handles[i]) {
            handles.clear();
            undo();
            r.fail(createFileError(e.physicalPath, err));
            r.messages.push_back(createFailed());
            return r;
        }
        created.push_back(e.physicalPath);
    }
    for (auto& hdl : handles) db->files.push_back(std::move(hdl));
    db->entry.name = c.name;
    db->entry.dbid = freeDbid();
    const Value t = now();
    db->entry.createdDays = t.i;
    db->entry.createdTicks = t.ticks;
    db->entry.primaryPath = table[0].physicalPath;
    databases_.push_back(std::move(db));
    std::string err;
    if (!saveCatalog(err)) {
        db = std::move(databases_.back());
        databases_.pop_back();
        undo();
        r.fail(createFileError(catalog_.file().string(), err));
        r.messages.push_back(createFailed());
    }
    return r;
}

// ---- attach ---------------------------------------------------------------------------------

OpResult Instance::attach(const std::string& name, std::vector<std::string> paths) {
    OpResult r;
    if (name.empty()) {
        r.fail(Messages::error(1038, 15, 1,
                               "Cannot use empty object or column names. Use a single space if "
                               "necessary."));
        return r;
    }
    if (Collation::length(name) > kMaxNameChars) {
        r.fail(Messages::error(103, 15, 1,
                               "The identifier that starts with '" + name.substr(0, 128) +
                                   "' is too long. Maximum length is 128."));
        return r;
    }
    if (find(name)) {
        r.fail(Messages::databaseExists(name));
        return r;
    }
    auto refuse = [&](Message m) {
        r.fail(std::move(m));
        r.messages.push_back(Messages::couldNotOpenNewDatabase(name));
        return r;
    };
    for (std::string& p : paths) {
        p = cleanPath(p);
        if (Collation::length(p) > kMaxPathChars) return refuse(Messages::deviceActivation(p));
    }

    const std::string& primaryPath = paths[0];
    if (!isAbsolute(primaryPath)) return refuse(Messages::deviceActivation(primaryPath));
    const DataFile::Inspection pi = DataFile::inspect(primaryPath);
    if (pi.status == DataFile::Status::NotDataFile ||
        (pi.status == DataFile::Status::Ok && pi.header.kind != FileKind::Primary))
        return refuse(Messages::notPrimaryFile(primaryPath));
    if (pi.status != DataFile::Status::Ok) return refuse(Messages::deviceActivation(primaryPath));
    const FileHeader& ph = pi.header;

    auto tableEntry = [&](uint16_t id) -> const FileTableEntry* {
        for (const FileTableEntry& e : ph.fileTable) {
            if (e.fileId == id) return &e;
        }
        return nullptr;
    };
    std::map<uint16_t, std::string> chosen;  // file id -> path to attach it from
    chosen[ph.fileId] = primaryPath;
    for (size_t i = 1; i < paths.size(); ++i) {
        const std::string& p = paths[i];
        if (!isAbsolute(p)) return refuse(Messages::deviceActivation(p));
        const DataFile::Inspection ins = DataFile::inspect(p);
        if (ins.status == DataFile::Status::NotDataFile)
            return refuse(Messages::differentDatabases());
        if (ins.status != DataFile::Status::Ok) return refuse(Messages::deviceActivation(p));
        const FileTableEntry* e = tableEntry(ins.header.fileId);
        if (ins.header.databaseId != ph.databaseId || !e || e->kind != ins.header.kind ||
            chosen.count(ins.header.fileId))
            return refuse(Messages::differentDatabases());
        chosen[ins.header.fileId] = p;
    }

    // Files the statement did not name are looked for where the primary last saw them.
    std::vector<std::string> missingLogs;
    bool anyLogPresent = false;
    for (const FileTableEntry& e : ph.fileTable) {
        if (chosen.count(e.fileId)) {
            if (e.kind == FileKind::Log) anyLogPresent = true;
            continue;
        }
        if (isAbsolute(e.physicalPath)) {
            const DataFile::Inspection ins = DataFile::inspect(e.physicalPath);
            if (ins.status == DataFile::Status::Ok && ins.header.databaseId == ph.databaseId &&
                ins.header.fileId == e.fileId && ins.header.kind == e.kind) {
                chosen[e.fileId] = e.physicalPath;
                if (e.kind == FileKind::Log) anyLogPresent = true;
                continue;
            }
        }
        if (e.kind != FileKind::Log) return refuse(Messages::deviceActivation(e.physicalPath));
        missingLogs.push_back(e.physicalPath);
    }
    bool rebuildLog = false;
    if (!missingLogs.empty()) {
        // Only a cleanly detached database can start over with a new, empty log.
        if (anyLogPresent || !ph.cleanlyDetached)
            return refuse(Messages::deviceActivation(missingLogs.front()));
        rebuildLog = true;
    }

    auto db = std::make_unique<Database>();
    for (const FileTableEntry& e : ph.fileTable) {
        auto it = chosen.find(e.fileId);
        if (it == chosen.end()) continue;
        DataFile::Status st;
        std::string err;
        auto f = DataFile::hold(it->second, st, err);
        if (!f) return refuse(Messages::deviceActivation(it->second));
        if (f->header().databaseId != ph.databaseId || f->header().fileId != e.fileId)
            return refuse(Messages::differentDatabases());
        if (e.fileId == ph.fileId)
            db->files.insert(db->files.begin(), std::move(f));
        else
            db->files.push_back(std::move(f));
    }
    DataFile* primary = db->primary();
    if (!primary || primary->header().fileId != ph.fileId)
        return refuse(Messages::notPrimaryFile(primaryPath));

    std::string newLogPath;
    std::vector<Message> notes;
    if (rebuildLog) {
        const FileTableEntry* firstLog = nullptr;
        for (const FileTableEntry& e : ph.fileTable) {
            if (e.kind == FileKind::Log && !firstLog) firstLog = &e;
        }
        newLogPath =
            (std::filesystem::path(primaryPath).parent_path() / (name + "_log.LDF")).string();
        if (!usableInFileName(name)) return refuse(badFileName(newLogPath));
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(newLogPath, ec)))
            return refuse(alreadyExists(newLogPath));
        FileHeader lh;
        lh.kind = FileKind::Log;
        lh.fileId = firstLog ? firstLog->fileId : 2;
        lh.databaseName = name;
        lh.databaseId = ph.databaseId;
        lh.version = ph.version;
        lh.collationId = ph.collationId;
        lh.usedPages = kLogMinimumPages;
        std::string err;
        auto log = DataFile::create(newLogPath, lh, kNewLogPages, err);
        if (!log) return refuse(createFileError(newLogPath, err));
        FileTableEntry le;
        le.fileId = lh.fileId;
        le.kind = FileKind::Log;
        le.groupId = 0;
        le.logicalName = firstLog ? firstLog->logicalName : name + "_log";
        le.physicalPath = newLogPath;
        le.sizePages = kNewLogPages;
        le.usedPages = kLogMinimumPages;
        auto& table = primary->header().fileTable;
        table.erase(std::remove_if(table.begin(), table.end(),
                                   [](const FileTableEntry& e) { return e.kind == FileKind::Log; }),
                    table.end());
        table.push_back(le);
        std::sort(table.begin(), table.end(), [](const FileTableEntry& a, const FileTableEntry& b) {
            return a.fileId < b.fileId;
        });
        db->files.push_back(std::move(log));
        for (const std::string& old : missingLogs)
            notes.push_back(Messages::deviceActivation(old, 1, 10));
        notes.push_back(Messages::info(5182, "New log file '" + newLogPath + "' was created."));
    }
    auto undoNewLog = [&]() {
        if (newLogPath.empty()) return;
        db->files.clear();
        std::error_code ec;
        std::filesystem::remove(newLogPath, ec);
    };

    // The other files first; the primary's file table, written last, makes the attach whole.
    std::string err;
    for (auto& f : db->files) {
        if (f.get() == primary) continue;
        f->header().databaseName = name;
        f->header().cleanlyDetached = false;
        if (!f->writeHeader(err)) {
            const std::string p = f->path().string();
            undoNewLog();
            return refuse(createFileError(p, err));
        }
    }
    FileHeader& h = primary->header();
    h.databaseName = name;
    h.cleanlyDetached = false;
    for (FileTableEntry& e : h.fileTable) {
        if (DataFile* f = db->file(e.fileId)) {
            e.physicalPath = f->path().string();
            e.sizePages = f->sizePages();
            e.usedPages = f->header().usedPages;
        }
    }
    if (!primary->writeHeader(err)) {
        undoNewLog();
        return refuse(createFileError(primaryPath, err));
    }

    db->entry.name = name;
    db->entry.dbid = freeDbid();
    const Value t = now();
    db->entry.createdDays = t.i;
    db->entry.createdTicks = t.ticks;
    db->entry.primaryPath = primaryPath;
    databases_.push_back(std::move(db));
    if (!saveCatalog(err)) {
        databases_.pop_back();
        return refuse(createFileError(catalog_.file().string(), err));
    }
    r.messages = std::move(notes);
    return r;
}

// ---- detach ---------------------------------------------------------------------------------

OpResult Instance::detach(const std::string& name,
                          const std::function<bool(const Database&)>& inUse,
                          const std::string& procName) {
    OpResult r;
    Database* db = find(name);
    if (!db) {
        r.fail(Messages::error(15010, 16, 1,
                               "The database '" + name +
                                   "' does not exist. Use sp_helpdb to show available databases.",
                               procName));
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
    const std::string path = cleanPath(rawPath);
    DataFile::Inspection ins;
    if (isAbsolute(path)) ins = DataFile::inspect(path);
    const bool isPrimary =
        ins.status == DataFile::Status::Ok && ins.header.kind == FileKind::Primary;
    if (ins.status == DataFile::Status::Missing || ins.status == DataFile::Status::Unreadable ||
        ins.status == DataFile::Status::InUse) {
        r.fail(Messages::deviceActivation(path, ins.status == DataFile::Status::InUse ? 3 : 1));
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
        out.rows = {{Value::str("Database name"), Value::str(fit(h.databaseName, kMaxNameChars))},
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
        std::vector<Value> row = {Value::integer(fileStatus(e, false)), Value::integer(e.fileId),
                                  Value::str(fit(e.logicalName, kMaxNameChars)),
                                  Value::str(fit(e.physicalPath, kMaxPathChars))};
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
    const uint32_t used = std::max(f->header().usedPages, DataFile::kHeaderPages);
    uint64_t target = used;
    if (targetMb && *targetMb > 0)
        target = std::max<uint64_t>(used, static_cast<uint64_t>(*targetMb) * 128);
    const uint32_t current = f->sizePages();
    std::string err;
    if (truncate && target < current) {
        if (!f->truncate(static_cast<uint32_t>(target), err)) {
            r.fail(createFileError(f->path().string(), err));
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
        int status = d->entry.dbid == 1 || d->entry.dbid == 4 ? 24 : d->entry.dbid == 2 ? 8 : 16;
        if (d->suspect) status |= 256;
        t.rows.push_back({Value::str(d->entry.name), Value::integer(d->entry.dbid),
                          Value::bytes(std::string(1, '\x01')), Value::integer(0),
                          Value::integer(status), Value::integer(1090519040),
                          Value::dateTime(d->entry.createdDays, d->entry.createdTicks),
                          Value::dateTime(0, 0), Value::integer(0), Value::integer(80),
                          Value::str(d->entry.primaryPath), Value::integer(539)});
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
    t.columns.push_back({"name", ColType::NChar, 128, false});
    t.columns.push_back({"filename", ColType::NChar, 260, false});
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
        row.push_back(Value::str(fit(e.logicalName, kMaxNameChars)));
        row.push_back(Value::str(fit(e.physicalPath, kMaxPathChars)));
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
