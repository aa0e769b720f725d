#pragma once
// Writes that survive a crash at any instant: a small file is replaced whole or not at all.

#include <cstdint>
#include <filesystem>
#include <string>

namespace standin {

class DurableFile {
public:
    // Writes `bytes` to `path` through a temporary file beside it: write, fsync, rename over
    // the old file, fsync the directory. On failure the old file is untouched.
    static bool replace(const std::filesystem::path& path, const std::string& bytes,
                        std::string& error);
    // fsync of a directory, so a created, renamed or removed entry is on disk.
    static bool syncDirectory(const std::filesystem::path& dir, std::string& error);
    // Reads a whole file; false when it cannot be read.
    static bool read(const std::filesystem::path& path, std::string& bytes, std::string& error);
    static std::filesystem::path temporaryFor(const std::filesystem::path& path);

    static uint32_t crc32(const void* data, size_t size, uint32_t seed = 0);
    static std::string osError(int err);
};

}  // namespace standin
