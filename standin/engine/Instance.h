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
#include "AttachPlanner.h"
#include "Catalog.h"
#include "CreatePlanner.h"
#include "DataFile.h"
#include "FileAccess.h"
#include "OpResult.h"
#include "Reply.h"
#include "ServerOptions.h"

namespace standin {

struct Database {
    CatalogEntry entry;
    bool system = false;
    bool suspect = false;                          // its files could not be opened at start-up
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
    // The dbid the next database to be listed would get.
    int nextDbid() const { return freeDbid(); }

    // CREATE DATABASE: checkNewName, CreatePlanner::plan, commitCreate.
    OpResult createDatabase(const CreateDatabaseStatement& create);
    // Attaches the database whose primary is paths[0]; files of the primary's file table that
    // are not named are looked for at their recorded paths. A missing log is rebuilt beside
    // the primary when the database was cleanly detached. Steps: checkNewName,
    // AttachPlanner::plan, commitAttach.
    OpResult attach(const std::string& name, std::vector<std::string> paths);

    // The name of a database to be made: not empty, not too long, not taken (1038, 103, 1801).
    OpResult checkNewName(const std::string& name) const;
    // Makes the planned files and records the database; nothing is left behind on failure.
    OpResult commitCreate(const CreatePlan& plan);
    // Holds the planned files, makes the new log if one is planned, rewrites the headers
    // (the primary last) and records the database.
    OpResult commitAttach(const AttachPlan& plan);
    OpResult detach(const std::string& name, const std::function<bool(const Database&)>& inUse,
                    const std::string& procName);
    OpResult checkPrimaryFile(const std::string& path, int64_t option, ResultSet& out);
    OpResult shrinkFile(Database& db, const ArgValue& file, std::optional<int64_t> targetMb,
                        bool truncate, ResultSet& out);
    OpResult truncateLog(Database& db);

    // The recovery model recorded in the primary, or the server's default for the database:
    // SIMPLE for master, tempdb and msdb, FULL for model and for user databases (as model).
    RecoveryModel recoveryOf(const Database& db) const;
    // ALTER DATABASE ... SET RECOVERY: recorded in the primary's header, so it travels with the
    // file through detach and attach.
    OpResult setRecovery(Database& db, RecoveryModel model);
    // CHECKPOINT: under the SIMPLE model the inactive part of the log is freed.
    OpResult checkpoint(Database& db);

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
    // Lists an opened database under a new dbid and today's date, and saves the catalog.
    // Gives the database back when the catalog cannot be saved.
    std::unique_ptr<Database> registerDatabase(std::unique_ptr<Database> db,
                                               const std::string& name,
                                               const std::string& primaryPath, std::string& error);
    OpResult holdPlannedFiles(const AttachPlan& plan, Database& db);
    OpResult createPlannedLog(const AttachPlan& plan, Database& db);
    void upgrade(const AttachPlan& plan, Database& db, OpResult& notes) const;

    std::filesystem::path dataDir_;
    ServerOptions options_;
    FileAccess files_;
    Catalog catalog_;
    std::vector<std::unique_ptr<Database>> databases_;
};

}  // namespace standin
