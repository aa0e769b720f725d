#pragma once
// How a stand-in instance is set up beyond its data directory.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ServerVersion.h"

namespace standin {

// What a database other than online can be, as an administrator or a restore leaves it.
enum class DatabaseState { Offline, Restoring, SingleUser };

// "OFFLINE", "RESTORING", "SINGLE_USER".
std::optional<DatabaseState> parseDatabaseState(const std::string& text);

struct StartState {
    std::string database;
    DatabaseState state;
};

struct ServerOptions {
    ServerVersion version;
    // Paths the server's service account cannot open: any file whose path starts with one of
    // them is refused as the file system refuses a file the account may not read.
    std::vector<std::string> unreadablePrefixes;
    // For tests: DBCC SHRINKFILE of a file with one of these logical names fails.
    std::vector<std::string> failingShrinks;
    // For tests: DBCC SHRINKFILE of a file with one of these logical names meets a page it
    // cannot move (3140, which names the file).
    std::vector<std::string> unmovableShrinks;
    // Databases whose log cannot be truncated (an open transaction, replication): a checkpoint
    // or a truncating backup frees nothing of it, and its shrink frees nothing (9008).
    std::vector<std::string> heldLogs;
    // Databases that are offline, restoring or in single-user access from the start.
    std::vector<StartState> startStates;
    // Drive letters of a Windows host, each on a host folder as Wine maps them (Z to "/"): a
    // path on one is read as that host reads it (FilePaths::clean).
    std::map<char, std::string> windowsDrives;
};

}  // namespace standin
