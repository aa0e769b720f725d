#include "DataFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "DurableFile.h"

namespace standin {

namespace {

const char kMagic[8] = {'K', 'V', 'D', 'B', 'F', 'H', 'D', 'R'};
constexpr uint32_t kLayoutVersion = 1;
constexpr size_t kSlotPrefix = 32;

class Writer {
public:
    void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) {
        for (int i = 0; i < 2; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u64(uint64_t v) {
        for (int i = 0; i < 8; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void str(const std::string& s) {
        const size_t n = std::min<size_t>(s.size(), 0xFFFF);
        u16(static_cast<uint16_t>(n));
        out_.append(s, 0, n);
    }
    void bytes(const uint8_t* p, size_t n) { out_.append(reinterpret_cast<const char*>(p), n); }
    std::string& out() { return out_; }

private:
    std::string out_;
};

class Reader {
public:
    Reader(const char* p, size_t n) : p_(p), n_(n) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ >= n_; }
    uint8_t u8() {
        if (pos_ + 1 > n_) {
            ok_ = false;
            return 0;
        }
        return static_cast<uint8_t>(p_[pos_++]);
    }
    uint16_t u16() {
        // Two statements: the operands of | may be evaluated in either order.
        const uint16_t lo = u8();
        const uint16_t hi = u8();
        return static_cast<uint16_t>(lo | (hi << 8));
    }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(u8()) << (8 * i);
        return v;
    }
    std::string str() {
        const uint16_t len = u16();
        if (!ok_ || pos_ + len > n_) {
            ok_ = false;
            return {};
        }
        std::string s(p_ + pos_, len);
        pos_ += len;
        return s;
    }
    void bytes(uint8_t* out, size_t len) {
        for (size_t i = 0; i < len; ++i) out[i] = u8();
    }

private:
    const char* p_;
    size_t n_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool validKind(uint8_t k) {
    return k >= 1 && k <= 3;
}

bool preadAll(int fd, char* buf, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buf + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool pwriteAll(int fd, const char* buf, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, buf + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string DataFile::encodeSlot(const FileHeader& h) {
    Writer p;
    p.u8(static_cast<uint8_t>(h.kind));
    p.u8(h.cleanlyDetached ? 1 : 0);
    p.u16(h.fileId);
    p.bytes(h.databaseId.data(), h.databaseId.size());
    p.u32(h.version);
    p.u32(h.collationId);
    p.u32(h.usedPages);
    p.str(h.databaseName);
    p.u16(static_cast<uint16_t>(h.fileTable.size()));
    for (const FileTableEntry& e : h.fileTable) {
        p.u16(e.fileId);
        p.u8(static_cast<uint8_t>(e.kind));
        p.u16(e.groupId);
        p.str(e.logicalName);
        p.str(e.physicalPath);
        p.u32(e.sizePages);
        p.u32(e.usedPages);
        p.u32(static_cast<uint32_t>(e.maxSizePages));
        p.u32(static_cast<uint32_t>(e.growth));
        p.u8(e.growthPercent ? 1 : 0);
    }
    // Fields added later follow the file table, so files without them still read.
    if (h.recovery != RecoveryModel::Unset) p.u8(static_cast<uint8_t>(h.recovery));
    const std::string payload = p.out();
    if (payload.size() > kSlotBytes - kSlotPrefix) return {};  // caller refuses the write

    Writer s;
    s.bytes(reinterpret_cast<const uint8_t*>(kMagic), sizeof kMagic);
    s.u32(kLayoutVersion);
    s.u32(static_cast<uint32_t>(payload.size()));
    s.u64(h.sequence);
    std::string slot = s.out();
    const uint32_t crc = DurableFile::crc32(payload.data(), payload.size(),
                                            DurableFile::crc32(slot.data(), slot.size()));
    Writer c;
    c.u32(crc);
    c.u32(0);
    slot += c.out();
    slot += payload;
    slot.resize(kSlotBytes, '\0');
    return slot;
}

std::optional<FileHeader> DataFile::decodeSlot(const char* data, size_t size) {
    if (size < kSlotPrefix || std::memcmp(data, kMagic, sizeof kMagic) != 0) return std::nullopt;
    Reader prefix(data + 8, kSlotPrefix - 8);
    const uint32_t layout = prefix.u32();
    const uint32_t length = prefix.u32();
    const uint32_t seqLo = prefix.u32();
    const uint32_t seqHi = prefix.u32();
    const uint32_t crc = prefix.u32();
    if (layout != kLayoutVersion || length > size - kSlotPrefix) return std::nullopt;
    const char* payload = data + kSlotPrefix;
    const uint32_t expect = DurableFile::crc32(payload, length, DurableFile::crc32(data, 24));
    if (crc != expect) return std::nullopt;

    Reader r(payload, length);
    FileHeader h;
    h.sequence = (static_cast<uint64_t>(seqHi) << 32) | seqLo;
    const uint8_t kind = r.u8();
    if (!validKind(kind)) return std::nullopt;
    h.kind = static_cast<FileKind>(kind);
    h.cleanlyDetached = r.u8() != 0;
    h.fileId = r.u16();
    r.bytes(h.databaseId.data(), h.databaseId.size());
    h.version = r.u32();
    h.collationId = r.u32();
    h.usedPages = r.u32();
    h.databaseName = r.str();
    const uint16_t count = r.u16();
    for (uint16_t i = 0; i < count && r.ok(); ++i) {
        FileTableEntry e;
        e.fileId = r.u16();
        const uint8_t k = r.u8();
        if (!validKind(k)) return std::nullopt;
        e.kind = static_cast<FileKind>(k);
        e.groupId = r.u16();
        e.logicalName = r.str();
        e.physicalPath = r.str();
        e.sizePages = r.u32();
        e.usedPages = r.u32();
        e.maxSizePages = static_cast<int32_t>(r.u32());
        e.growth = static_cast<int32_t>(r.u32());
        e.growthPercent = r.u8() != 0;
        h.fileTable.push_back(std::move(e));
    }
    if (r.ok() && !r.atEnd()) {
        const uint8_t model = r.u8();
        if (model <= static_cast<uint8_t>(RecoveryModel::Simple))
            h.recovery = static_cast<RecoveryModel>(model);
    }
    if (!r.ok()) return std::nullopt;
    return h;
}

std::optional<FileHeader> DataFile::readHeader(int fd, uint64_t length) {
    std::optional<FileHeader> best;
    std::string buf(kSlotBytes, '\0');
    for (uint64_t slot = 0; slot < 2; ++slot) {
        const uint64_t offset = slot * kSlotBytes;
        if (length < offset + kSlotBytes) break;
        if (!preadAll(fd, buf.data(), buf.size(), offset)) break;
        std::optional<FileHeader> h = decodeSlot(buf.data(), buf.size());
        // A header only counts in the slot its sequence belongs to.
        if (h && slotOffset(h->sequence) == offset && (!best || h->sequence > best->sequence))
            best = std::move(h);
    }
    return best;
}

DataFile::Inspection DataFile::inspect(const std::filesystem::path& path) {
    Inspection out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        out.status = errno == ENOENT || errno == ENOTDIR ? Status::Missing : Status::Unreadable;
        out.osError = DurableFile::osError(errno);
        return out;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        out.status = Status::Unreadable;
        ::close(fd);
        return out;
    }
    out.lengthBytes = static_cast<uint64_t>(st.st_size);
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        out.status = errno == EWOULDBLOCK ? Status::InUse : Status::Unreadable;
        ::close(fd);
        return out;
    }
    std::optional<FileHeader> h = readHeader(fd, out.lengthBytes);
    ::close(fd);
    if (!h) {
        out.status = Status::NotDataFile;
        return out;
    }
    out.header = std::move(*h);
    out.status = Status::Ok;
    return out;
}

std::unique_ptr<DataFile> DataFile::create(const std::filesystem::path& path, FileHeader header,
                                           uint32_t sizePages, std::string& osError) {
    if (sizePages < kHeaderPages) sizePages = kHeaderPages;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        osError = DurableFile::osError(errno);
        return nullptr;
    }
    std::unique_ptr<DataFile> f(new DataFile(path, fd));
    auto undo = [&](int err) {
        osError = DurableFile::osError(err);
        f.reset();
        ::unlink(path.c_str());
        return nullptr;
    };
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return undo(errno);
    if (::ftruncate(fd, static_cast<off_t>(uint64_t{sizePages} * kPageSize)) != 0)
        return undo(errno);
    header.sequence = 0;
    f->header_ = std::move(header);
    const std::string slot = encodeSlot(f->header_);
    if (slot.empty()) return undo(EFBIG);
    if (!pwriteAll(fd, slot.data(), slot.size(), slotOffset(0))) return undo(errno ? errno : EIO);
    if (::fsync(fd) != 0) return undo(errno);
    std::string dirError;
    DurableFile::syncDirectory(path.parent_path(), dirError);
    return f;
}

std::unique_ptr<DataFile> DataFile::hold(const std::filesystem::path& path, Status& status,
                                         std::string& osError) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        status = errno == ENOENT || errno == ENOTDIR ? Status::Missing : Status::Unreadable;
        osError = DurableFile::osError(errno);
        return nullptr;
    }
    std::unique_ptr<DataFile> f(new DataFile(path, fd));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = Status::Unreadable;
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        status = errno == EWOULDBLOCK ? Status::InUse : Status::Unreadable;
        osError = DurableFile::osError(errno);
        return nullptr;
    }
    std::optional<FileHeader> h = readHeader(fd, static_cast<uint64_t>(st.st_size));
    if (!h) {
        status = Status::NotDataFile;
        return nullptr;
    }
    f->header_ = std::move(*h);
    status = Status::Ok;
    return f;
}

DataFile::~DataFile() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool DataFile::writeHeader(std::string& osError) {
    FileHeader next = header_;
    next.sequence = header_.sequence + 1;
    const std::string slot = encodeSlot(next);
    if (slot.empty()) {
        osError = DurableFile::osError(EFBIG);
        return false;
    }
    if (!pwriteAll(fd_, slot.data(), slot.size(), slotOffset(next.sequence)) ||
        ::fdatasync(fd_) != 0) {
        osError = DurableFile::osError(errno ? errno : EIO);
        return false;
    }
    header_.sequence = next.sequence;
    return true;
}

uint32_t DataFile::sizePages() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return 0;
    return static_cast<uint32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(st.st_size) / kPageSize, 0xFFFFFFFFu));
}

bool DataFile::truncate(uint32_t pages, std::string& osError) {
    if (pages < kHeaderPages) pages = kHeaderPages;
    if (::ftruncate(fd_, static_cast<off_t>(uint64_t{pages} * kPageSize)) != 0 ||
        ::fsync(fd_) != 0) {
        osError = DurableFile::osError(errno);
        return false;
    }
    return true;
}

bool DataFile::isSameFile(const std::filesystem::path& other) const {
    struct stat a {
    }, b{};
    if (::fstat(fd_, &a) != 0 || ::stat(other.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace standin
