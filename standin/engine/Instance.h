#pragma once
// The stand-in's databases: the catalog and the files each attached database holds. The
// statements in statements/ change them (create, attach, detach, shrink, log truncation).

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Catalog.h"
#include "DataFile.h"
#include "FileAccess.h"
#include "OpResult.h"
#include "Reply.h"
#include "ServerOptions.h"

namespace standin {

struct Database {
    CatalogEntry entry;
    bool system = false;
    bool suspect = false;  // its files could not be opened at start-up
    bool offline = false;
    bool restoring = false;
    bool singleUser = false;                       // one session at a time may be inside it
    std::vector<std::unique_ptr<DataFile>> files;  // files[0] is the primary

    DataFile* primary() { return files.empty() ? nullptr : files.front().get(); }
    const DataFile* primary() const { return files.empty() ? nullptr : files.front().get(); }
    DataFile* file(uint16_t fileId);
    const DataFile* file(uint16_t fileId) const;
    const std::string& name() const { return entry.name; }
};

class Instance {
public:
    // Opens the data directory: reads the catalog and holds every attached database's files.
    // Throws std::runtime_error when the directory or a damaged catalog cannot be used.
    explicit Instance(std::filesystem::path dataDir, ServerOptions options = {});
    ~Instance();

    Database* find(const std::string& name);
    const Database* find(const std::string& name) const;
    Database* findById(int dbid);
    const Database* findById(int dbid) const;
    const std::vector<std::unique_ptr<Database>>& databases() const { return databases_; }
    const std::filesystem::path& dataDir() const { return dataDir_; }
    const ServerVersion& version() const { return options_.version; }
    const ServerOptions& options() const { return options_; }
    // How the server's account opens the files of user databases.
    const FileAccess& files() const { return files_; }
    // Whether the database's log cannot be truncated now (--hold-log).
    bool logHeld(const Database& db) const;
    // The dbid the next database to be listed would get.
    int nextDbid() const { return freeDbid(); }

    // Why a session cannot make db its current database: 945 (files not opened at start-up),
    // 942 (offline), 927 (restoring), 924 (single user, and another session is inside);
    // nullopt when it can.
    std::optional<Message> entryRefusal(const Database& db, bool anotherSessionInside) const;

    // The name of a database to be made: not empty, not too long, not taken (1038, 103, 1801).
    OpResult checkNewName(const std::string& name) const;
    // Lists an opened database under a new dbid and today's date, and saves the catalog.
    // Gives the database back when the catalog cannot be saved.
    std::unique_ptr<Database> registerDatabase(std::unique_ptr<Database> db,
                                               const std::string& name,
                                               const std::string& primaryPath, std::string& error);
    // Takes the database off the list and saves the catalog; false, with the database listed
    // again, when the catalog cannot be saved. The database is gone when this returns true.
    bool forget(Database& db, std::string& error);
    const std::filesystem::path& catalogFile() const { return catalog_.file(); }

    // The recovery model recorded in the primary, or the server's default for the database:
    // SIMPLE for master, tempdb and msdb, FULL for model and for user databases (as model).
    RecoveryModel recoveryOf(const Database& db) const;

    static Value now();  // the current time as a datetime value
    static DatabaseId newDatabaseId();

    static constexpr uint32_t kDataUsedPages = 32;      // header + system tables of a new database
    static constexpr uint32_t kLogUsedPages = 32;       // header + active log of a new database
    static constexpr uint32_t kLogMinimumPages = 16;    // header + active log after truncation
    static constexpr uint32_t kDefaultFilePages = 128;  // 1 MB
    static constexpr uint32_t kMinimumPrimaryPages = 128;  // room for a copy of model
    static constexpr uint32_t kMinimumFilePages = 64;      // 512 KB
    static constexpr uint32_t kNewLogPages = 128;          // a log made by attach

private:
    bool saveCatalog(std::string& error);
    void openAttached(const CatalogEntry& entry, bool system);
    void createSystemDatabase(const CatalogEntry& entry, const std::string& dataLogical,
                              const std::string& logFile, const std::string& logLogical);
    int freeDbid() const;
    // --state: databases offline, restoring or in single-user access from the start.
    void applyStartStates();

    std::filesystem::path dataDir_;
    ServerOptions options_;
    FileAccess files_;
    Catalog catalog_;
    std::vector<std::unique_ptr<Database>> databases_;
};

}  // namespace standin
