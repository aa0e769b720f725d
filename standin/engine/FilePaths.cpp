#include "FilePaths.h"

#include <filesystem>

#include "Collation.h"

namespace standin {

std::string FilePaths::clean(std::string path) {
    while (!path.empty() && path.back() == ' ') path.pop_back();
    return path;
}

bool FilePaths::isAbsolute(const std::string& path) {
    return !path.empty() && std::filesystem::path(path).is_absolute();
}

bool FilePaths::usableInFileName(const std::string& name) {
    for (unsigned char c : name) {
        if (c == '/' || c == '\\' || c < 0x20) return false;
    }
    return true;
}

bool FilePaths::taken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::string FilePaths::fit(const std::string& s, size_t maxChars) {
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

}  // namespace standin
