#include "FileAccess.h"

#include <filesystem>

#include "Messages.h"

namespace standin {

bool FileAccess::denied(const std::string& path) const {
    for (const std::string& prefix : unreadable_) {
        if (!prefix.empty() && path.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

DataFile::Inspection FileAccess::inspect(const std::string& path) const {
    if (!denied(path)) return DataFile::inspect(path);
    DataFile::Inspection out;
    out.status = DataFile::Status::Unreadable;
    out.osError = Messages::windowsErrorText(5);
    return out;
}

std::unique_ptr<DataFile> FileAccess::hold(const std::string& path, DataFile::Status& status,
                                           std::string& osError) const {
    if (!denied(path)) return DataFile::hold(path, status, osError);
    status = DataFile::Status::Unreadable;
    osError = Messages::windowsErrorText(5);
    return nullptr;
}

std::unique_ptr<DataFile> FileAccess::create(const std::string& path, FileHeader header,
                                             uint32_t sizePages, std::string& osError) const {
    if (!denied(path)) return DataFile::create(path, std::move(header), sizePages, osError);
    osError = Messages::windowsErrorText(5);
    return nullptr;
}

int FileAccess::windowsError(const std::string& path, DataFile::Status status) {
    switch (status) {
        case DataFile::Status::InUse:
            return 32;
        case DataFile::Status::Missing: {
            std::error_code ec;
            const std::filesystem::path parent = std::filesystem::path(path).parent_path();
            return std::filesystem::is_directory(parent, ec) ? 2 : 3;
        }
        default:
            return 5;
    }
}

}  // namespace standin
