#pragma once
// Creating every missing folder along a path; never fails, reports nothing.

#include <QString>
#include <functional>

namespace korvid::attach {

struct FolderOps {
    std::function<bool(const QString&)> plainFileExists;
    std::function<bool(const QString&)> createFolder;  // failure is ignored
};

// The platform's own file system.
FolderOps systemFolderOps();

// A plain file at the path: no folder, and on Windows neither hidden nor system files.
bool plainFileExists(const QString& path);

// mdir: for every separator after the root ("c:\" or "/"), the prefix before it is created
// unless a plain file of that name exists. A last component without a trailing separator is not
// created.
void createMissingFolders(const QString& path, const FolderOps& ops = systemFolderOps());

}  // namespace korvid::attach
