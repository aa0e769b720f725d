#pragma once
// How a stand-in instance is set up beyond its data directory.

#include <map>
#include <string>
#include <vector>

#include "ServerVersion.h"

namespace standin {

struct ServerOptions {
    ServerVersion version;
    // Paths the server's service account cannot open: any file whose path starts with one of
    // them is refused as the file system refuses a file the account may not read.
    std::vector<std::string> unreadablePrefixes;
    // For tests: DBCC SHRINKFILE of a file with one of these logical names fails.
    std::vector<std::string> failingShrinks;
    // Drive letters of a Windows host, each on a host folder as Wine maps them (Z to "/"): a
    // path on one is read as that host reads it (FilePaths::clean).
    std::map<char, std::string> windowsDrives;
};

}  // namespace standin
