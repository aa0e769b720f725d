#pragma once
// The server's service account opening database files. Paths under an unreadable prefix are
// refused with "access denied", as a real server's account is refused a file it may not read;
// everything else goes to DataFile.

#include <memory>
#include <string>
#include <vector>

#include "DataFile.h"

namespace standin {

class FileAccess {
public:
    explicit FileAccess(std::vector<std::string> unreadablePrefixes = {})
        : unreadable_(std::move(unreadablePrefixes)) {}

    bool denied(const std::string& path) const;
    DataFile::Inspection inspect(const std::string& path) const;
    std::unique_ptr<DataFile> hold(const std::string& path, DataFile::Status& status,
                                   std::string& osError) const;
    std::unique_ptr<DataFile> create(const std::string& path, FileHeader header, uint32_t sizePages,
                                     std::string& osError) const;

    // The Windows error a real server reports for a file it could not open: 2 not found,
    // 3 no such folder, 5 access denied (also anything that is not a plain file), 32 in use.
    static int windowsError(const std::string& path, DataFile::Status status);

private:
    std::vector<std::string> unreadable_;
};

}  // namespace standin
