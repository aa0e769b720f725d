#pragma once
// The stand-in's databases: the catalog, the files each attached database holds, and the
// operations that change them (create, attach, detach, shrink, log truncation).

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Catalog.h"
#include "DataFile.h"
#include "Reply.h"

namespace standin {

struct Database {
    CatalogEntry entry;
    bool system = false;
    bool suspect = false;                          // its files could not be opened at start-up
    std::vector<std::unique_ptr<DataFile>> files;  // files[0] is the primary

    DataFile* primary() { return files.empty() ? nullptr : files.front().get(); }
    DataFile* file(uint16_t fileId);
    const std::string& name() const { return entry.name; }
};

// What an operation reports: its messages, in order, and whether it succeeded.
struct OpResult {
    bool ok = true;
    std::vector<Message> messages;
    void fail(Message m) {
        ok = false;
        messages.push_back(std::move(m));
    }
};

class Instance {
public:
    // Opens the data directory: reads the catalog and holds every attached database's files.
    // Throws std::runtime_error when the directory or a damaged catalog cannot be used.
    explicit Instance(std::filesystem::path dataDir);
    ~Instance();

    Database* find(const std::string& name);
    Database* findById(int dbid);
    const std::vector<std::unique_ptr<Database>>& databases() const { return databases_; }
    const std::filesystem::path& dataDir() const { return dataDir_; }

    OpResult createDatabase(const CreateDatabaseStatement& create);
    // Attaches the database whose primary is paths[0]; files of the primary's file table that
    // are not named are looked for at their recorded paths. A missing log is rebuilt beside
    // the primary when the database was cleanly detached.
    OpResult attach(const std::string& name, std::vector<std::string> paths);
    OpResult detach(const std::string& name, const std::function<bool(const Database&)>& inUse,
                    const std::string& procName);
    OpResult checkPrimaryFile(const std::string& path, int64_t option, ResultSet& out);
    OpResult shrinkFile(Database& db, const ArgValue& file, std::optional<int64_t> targetMb,
                        bool truncate, ResultSet& out);
    OpResult truncateLog(Database& db);

    ResultSet sysdatabases() const;
    ResultSet sysfiles(Database& db) const;
    ResultSet sysaltfiles() const;

    // Physical file names lose trailing blanks, as the Windows file system drops them.
    static std::string cleanPath(std::string path);
    static Value now();  // the current time as a datetime value

    static constexpr uint32_t kDataUsedPages = 32;    // header + system tables of a new database
    static constexpr uint32_t kLogUsedPages = 32;     // header + active log of a new database
    static constexpr uint32_t kLogMinimumPages = 16;  // header + active log after truncation

private:
    bool saveCatalog(std::string& error);
    void openAttached(const CatalogEntry& entry, bool system);
    void createSystemDatabase(const CatalogEntry& entry, const std::string& dataLogical,
                              const std::string& logFile, const std::string& logLogical);
    int freeDbid() const;
    ResultSet fileRows(Database& db, bool alt) const;

    std::filesystem::path dataDir_;
    Catalog catalog_;
    std::vector<std::unique_ptr<Database>> databases_;
};

}  // namespace standin
