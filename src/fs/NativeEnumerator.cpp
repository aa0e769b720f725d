#include "fs/FolderReader.h"

#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#endif
#endif

namespace korvid::fs {

namespace {

#ifndef _WIN32

EntryKind kindOfStat(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    return EntryKind::Other;
}

// The raw entries of one open folder, in the file system's order.
#ifdef __linux__
// One getdents64 call fills a buffer with many entries: a folder costs its open, a status for
// its identity, usually two reads and the close, and nothing more.
class EntryStream {
public:
    explicit EntryStream(int fd) : fd_(fd) {}
    ~EntryStream() {
        if (buffer_) giveBack(std::move(buffer_));
        ::close(fd_);
    }
    EntryStream(const EntryStream&) = delete;
    EntryStream& operator=(const EntryStream&) = delete;

    int fd() const { return fd_; }

    // The next entry's name and type; false at the end, with failed set when the read failed.
    bool next(const char*& name, unsigned char& type, bool& failed) {
        if (at_ >= filled_ && !fill(failed)) return false;
        const char* record = buffer_.get() + at_;
        unsigned short length = 0;
        std::memcpy(&length, record + kLengthAt, sizeof length);
        if (length == 0 || at_ + length > filled_) {  // never from a sound file system
            failed = true;
            at_ = filled_;
            return false;
        }
        at_ += length;
        type = static_cast<unsigned char>(record[kTypeAt]);
        name = record + kNameAt;
        return true;
    }

private:
    // The kernel's record, linux_dirent64: inode (8 bytes), offset (8), record length (2), type
    // (1), then the name ending in a zero byte.
    static constexpr size_t kLengthAt = 16;
    static constexpr size_t kTypeAt = 18;
    static constexpr size_t kNameAt = 19;
    static constexpr size_t kBufferSize = 32 * 1024;

    bool fill(bool& failed) {
        if (!buffer_) buffer_ = takeBuffer();
        long n;
        do {
            n = ::syscall(SYS_getdents64, fd_, buffer_.get(), kBufferSize);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            failed = n < 0;
            // The folder is read: only its descriptor stays, for its subfolders.
            giveBack(std::move(buffer_));
            filled_ = at_ = 0;
            return false;
        }
        filled_ = size_t(n);
        at_ = 0;
        return true;
    }

    // A walk reads one folder after the other: one spare buffer per thread spares an allocation
    // per folder.
    using Buffer = std::unique_ptr<char[]>;
    static Buffer& spare() {
        thread_local Buffer buffer;
        return buffer;
    }
    static Buffer takeBuffer() {
        Buffer buffer = std::move(spare());
        if (!buffer) buffer.reset(new char[kBufferSize]);  // not zeroed: the kernel writes it
        return buffer;
    }
    static void giveBack(Buffer buffer) {
        if (!spare()) spare() = std::move(buffer);
    }

    int fd_;
    Buffer buffer_;
    size_t filled_ = 0;
    size_t at_ = 0;
};
#else
// Elsewhere the C library's directory stream over the same descriptor.
class EntryStream {
public:
    explicit EntryStream(int fd) : fd_(fd), dir_(fdopendir(fd)) {}
    ~EntryStream() {
        if (dir_)
            closedir(dir_);
        else
            ::close(fd_);
    }
    EntryStream(const EntryStream&) = delete;
    EntryStream& operator=(const EntryStream&) = delete;

    int fd() const { return fd_; }

    bool next(const char*& name, unsigned char& type, bool& failed) {
        if (!dir_) {
            failed = true;
            return false;
        }
        errno = 0;
        const dirent* entry = readdir(dir_);
        if (!entry) {
            failed = errno != 0;
            return false;
        }
        name = entry->d_name;
        type = entry->d_type;
        return true;
    }

private:
    int fd_;
    DIR* dir_;
};
#endif

class PosixFolderReader : public FolderReader {
public:
    PosixFolderReader(int fd, const struct stat& st)
        : entries_(fd), id_{quint64(st.st_dev), quint64(st.st_ino)} {}

    bool next(QString& name, EntryKind& kind) override {
        const char* raw = nullptr;
        unsigned char type = DT_UNKNOWN;
        while (entries_.next(raw, type, failed_)) {
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
            if (!decode(raw, name)) continue;
            last_ = raw;
            kind = classify(raw, type);
            return true;
        }
        last_ = nullptr;
        return false;
    }

    bool failed() const override { return failed_; }

    std::optional<qint64> lastFileLength() override {
        struct stat st;
        if (!last_ || fstatat(handle(), last_, &st, 0) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return qint64(st.st_size);
    }

    FolderId id() const override { return id_; }

    int handle() const { return entries_.fd(); }

    bool isPseudoFileSystem() const override {
#ifdef __linux__
        struct statfs fs;
        if (fstatfs(handle(), &fs) != 0) return false;
        switch (static_cast<unsigned long>(fs.f_type)) {
            case 0x9fa0:      // proc
            case 0x62656572:  // sysfs
            case 0x27e0eb:    // cgroup
            case 0x63677270:  // cgroup2
            case 0x64626720:  // debugfs
            case 0x74726163:  // tracefs
            case 0x73636673:  // securityfs
            case 0x6165676c:  // pstore
            case 0xcafe4a11:  // bpf
            case 0x62656570:  // configfs
            case 0x1cd1:      // devpts
                return true;
            default:
                return false;
        }
#else
        return false;
#endif
    }

private:
    // A name that does not come back to the same bytes would give a path that does not exist:
    // such entries are left out. Plain ASCII, nearly every name, is widened in place into the
    // caller's string, whose buffer the next entry reuses.
    static bool decode(const char* raw, QString& name) {
        const size_t length = std::strlen(raw);
        name.resize(qsizetype(length));
        char16_t* out = reinterpret_cast<char16_t*>(name.data());
        for (size_t i = 0; i < length; ++i) {
            const auto c = static_cast<unsigned char>(raw[i]);
            if (c >= 0x80) {
                const QByteArray bytes(raw, qsizetype(length));
                name = QFile::decodeName(bytes);
                return QFile::encodeName(name) == bytes;
            }
            out[i] = c;
        }
        return true;
    }

    EntryKind classify(const char* raw, unsigned char type) const {
        switch (type) {
            case DT_REG:
                return EntryKind::File;
            case DT_DIR:
                return EntryKind::Folder;
            case DT_UNKNOWN:
                break;
            case DT_LNK:
                return linkKind(raw);
            default:
                return EntryKind::Other;
        }
        struct stat st;
        if (fstatat(handle(), raw, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
        if (S_ISLNK(st.st_mode)) return linkKind(raw);
        return kindOfStat(st);
    }

    // A link counts as the file it points to; a link to a folder is never walked.
    EntryKind linkKind(const char* raw) const {
        struct stat st;
        if (fstatat(handle(), raw, &st, 0) != 0) return EntryKind::Other;
        return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
    }

    EntryStream entries_;
    FolderId id_;
    const char* last_ = nullptr;  // in the stream's buffer, valid until the next read
    bool failed_ = false;
};

class PosixEnumerator : public DirectoryEnumerator {
public:
    std::unique_ptr<FolderReader> open(const QString& folder, bool followLink) override {
        QByteArray path = QFile::encodeName(folder);
        // O_NOFOLLOW looks at the last step only, so the separator at the end must go.
        while (path.size() > 1 && path.endsWith('/')) path.chop(1);
        return openAt(AT_FDCWD, path.constData(), followLink);
    }

    std::unique_ptr<FolderReader> openSubfolder(FolderReader& parent, const QString& name,
                                                const QString& path) override {
        auto* posix = dynamic_cast<PosixFolderReader*>(&parent);
        if (!posix) return open(path, false);
        // Plain ASCII names, nearly all, are their own bytes: no conversion needed.
        char ascii[256];
        if (name.size() < qsizetype(sizeof ascii)) {
            qsizetype i = 0;
            for (; i < name.size() && name.at(i).unicode() < 0x80; ++i)
                ascii[i] = char(name.at(i).unicode());
            if (i == name.size()) {
                ascii[i] = 0;
                return openAt(posix->handle(), ascii, false);
            }
        }
        return openAt(posix->handle(), QFile::encodeName(name).constData(), false);
    }

private:
    static std::unique_ptr<FolderReader> openAt(int at, const char* path, bool followLink) {
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
        const int fd = ::openat(at, path, flags);
        if (fd < 0) return nullptr;
        // O_DIRECTORY made sure it is a folder; the status gives its identity.
        struct stat st;
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixFolderReader>(fd, st);
    }
};

#else  // _WIN32

class WindowsFolderReader : public FolderReader {
public:
    WindowsFolderReader(HANDLE find, const WIN32_FIND_DATAW& first, FolderId id)
        : find_(find), data_(first), id_(id), pending_(true) {}
    ~WindowsFolderReader() override { FindClose(find_); }

    bool next(QString& name, EntryKind& kind) override {
        for (;;) {
            if (!pending_) {
                if (!FindNextFileW(find_, &data_)) {
                    failed_ = GetLastError() != ERROR_NO_MORE_FILES;
                    return false;
                }
            }
            pending_ = false;
            const wchar_t* raw = data_.cFileName;
            if (raw[0] == L'.' && (raw[1] == 0 || (raw[1] == L'.' && raw[2] == 0))) continue;
            name = QString::fromWCharArray(raw);
            const DWORD attributes = data_.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Other
                                                                   : EntryKind::Folder;
            else
                kind = EntryKind::File;
            return true;
        }
    }

    bool failed() const override { return failed_; }

    std::optional<qint64> lastFileLength() override {
        return (qint64(data_.nFileSizeHigh) << 32) | qint64(data_.nFileSizeLow);
    }

    FolderId id() const override { return id_; }

private:
    HANDLE find_;
    WIN32_FIND_DATAW data_;
    FolderId id_;
    bool pending_;
    bool failed_ = false;
};

// Past MAX_PATH Windows opens a path only in its "\\?\" form, which it takes as written: the
// walk's paths are whole and plain, so a deep folder is read like any other.
std::wstring longPathForm(const QString& folder) {
    const std::wstring path = folder.toStdWString();
    if (path.size() + 2 < MAX_PATH || folder.startsWith(QLatin1String("\\\\?\\"))) return path;
    if (folder.startsWith(QLatin1String("\\\\"))) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

class WindowsEnumerator : public DirectoryEnumerator {
public:
    std::unique_ptr<FolderReader> open(const QString& folder, bool followLink) override {
        const std::wstring path = longPathForm(folder);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return nullptr;
        if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return nullptr;
        FolderId id;
        HANDLE handle =
            CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION info;
            if (GetFileInformationByHandle(handle, &info)) {
                id.device = info.dwVolumeSerialNumber;
                id.inode = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
            }
            CloseHandle(handle);
        }
        WIN32_FIND_DATAW first;
        const std::wstring pattern = path + L"*";
        HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &first,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<WindowsFolderReader>(find, first, id);
    }
};

#endif

}  // namespace

std::unique_ptr<DirectoryEnumerator> makeNativeEnumerator() {
#ifdef _WIN32
    return std::make_unique<WindowsEnumerator>();
#else
    return std::make_unique<PosixEnumerator>();
#endif
}

std::optional<quint64> blocksReadByThisThread() {
#ifdef __linux__
    struct rusage usage;
    if (getrusage(RUSAGE_THREAD, &usage) == 0) return quint64(usage.ru_inblock);
#endif
    return std::nullopt;
}

}  // namespace korvid::fs
