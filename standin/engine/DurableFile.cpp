#include "DurableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace standin {

std::string DurableFile::osError(int err) {
    return std::to_string(err) + "(" + std::strerror(err) + ")";
}

uint32_t DurableFile::crc32(const void* data, size_t size, uint32_t seed) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = ~seed;
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

std::filesystem::path DurableFile::temporaryFor(const std::filesystem::path& path) {
    std::filesystem::path t = path;
    t += ".tmp";
    return t;
}

bool DurableFile::syncDirectory(const std::filesystem::path& dir, std::string& error) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = osError(errno);
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    if (!ok) error = osError(errno);
    ::close(fd);
    return ok;
}

bool DurableFile::replace(const std::filesystem::path& path, const std::string& bytes,
                          std::string& error) {
    const std::filesystem::path tmp = temporaryFor(path);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = osError(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = osError(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error = osError(errno);
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        error = osError(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return syncDirectory(path.parent_path(), error);
}

bool DurableFile::read(const std::filesystem::path& path, std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = osError(errno);
        return false;
    }
    bytes.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = osError(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
        if (bytes.size() > (64u << 20)) {
            error = "file too large";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}

}  // namespace standin
