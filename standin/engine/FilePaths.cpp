#include "FilePaths.h"

#include <cctype>
#include <filesystem>

#include "Collation.h"

namespace standin {

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "Z:\Data\X.MDF" on a drive of the host: its folder, then each step "\" names, spelt as the
// folder spells it where an entry differs only in letter case (Windows ignores case).
std::string onHost(const std::string& path, const std::map<char, std::string>& drives) {
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return path;
    const auto drive =
        drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    if (drive == drives.end()) return path;
    std::filesystem::path host(drive->second);
    size_t at = 3;
    while (at <= path.size()) {
        size_t end = path.find_first_of("\\/", at);
        if (end == std::string::npos) end = path.size();
        std::string step = path.substr(at, end - at);
        at = end + 1;
        if (step.empty()) continue;
        std::error_code ec;
        if (!std::filesystem::exists(host / step, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(host, ec)) {
                const std::string name = entry.path().filename().string();
                if (sameIgnoringCase(name, step)) {
                    step = name;
                    break;
                }
            }
        }
        host /= step;
    }
    return host.string();
}

}  // namespace

std::string FilePaths::clean(std::string path, const std::map<char, std::string>& drives) {
    while (!path.empty() && path.back() == ' ') path.pop_back();
    return onHost(path, drives);
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
