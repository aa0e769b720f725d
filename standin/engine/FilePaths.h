#pragma once
// Rules for the physical file names the statements carry, shared by create, attach and
// DBCC CHECKPRIMARYFILE.

#include <cstddef>
#include <map>
#include <string>

namespace standin {

class FilePaths {
public:
    static constexpr size_t kMaxPathChars = 260;
    static constexpr size_t kMaxNameChars = 128;

    // Physical file names lose trailing blanks, as the Windows file system drops them. A path on
    // one of the instance's Windows drives (letters in upper case, --drive) becomes the host
    // path it names there.
    static std::string clean(std::string path, const std::map<char, std::string>& drives);
    static bool isAbsolute(const std::string& path);
    // A database name becomes part of a file name only when it cannot name another folder.
    static bool usableInFileName(const std::string& name);
    // True when anything is at path, a dangling symbolic link included.
    static bool taken(const std::string& path);
    // The first maxChars characters of UTF-8 text: names and paths read from a file must not
    // make a row the client cannot decode.
    static std::string fit(const std::string& s, size_t maxChars);
};

}  // namespace standin
