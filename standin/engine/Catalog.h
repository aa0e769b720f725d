#pragma once
// The server's list of databases, kept in the data directory's catalog file. Every change
// replaces the file whole (write a new file, fsync, rename, fsync the directory), so a crash
// leaves either the old or the new list.

#include <filesystem>
#include <string>
#include <vector>

namespace standin {

struct CatalogEntry {
    std::string name;
    int dbid = 0;
    int64_t createdDays = 0;   // crdate: days since 1900-01-01
    int64_t createdTicks = 0;  // and 1/300 s since midnight
    std::string primaryPath;   // the file whose header records the rest
};

class Catalog {
public:
    explicit Catalog(std::filesystem::path file) : file_(std::move(file)) {}

    // Reads the catalog file. A missing file is an empty catalog; a damaged one is an error.
    bool load(std::vector<CatalogEntry>& entries, bool& existed, std::string& error) const;
    bool save(const std::vector<CatalogEntry>& entries, std::string& error) const;

    const std::filesystem::path& file() const { return file_; }
    static std::string encode(const std::vector<CatalogEntry>& entries);
    static bool decode(const std::string& text, std::vector<CatalogEntry>& entries);

private:
    std::filesystem::path file_;
};

}  // namespace standin
