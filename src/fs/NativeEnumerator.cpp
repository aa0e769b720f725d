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

class PosixFolderReader : public FolderReader {
public:
    PosixFolderReader(DIR* dir, const struct stat& st)
        : dir_(dir), id_{quint64(st.st_dev), quint64(st.st_ino)} {}
    ~PosixFolderReader() override { closedir(dir_); }

    bool next(QString& name, EntryKind& kind) override {
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir_);
            if (!entry) {
                failed_ = errno != 0;
                return false;
            }
            const char* raw = entry->d_name;
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
            if (!decode(raw, name)) continue;
            last_ = raw;
            kind = classify(raw, entry->d_type);
            return true;
        }
    }

    bool failed() const override { return failed_; }

    std::optional<qint64> lastFileLength() override {
        struct stat st;
        if (!last_ || fstatat(dirfd(dir_), last_, &st, 0) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return qint64(st.st_size);
    }

    FolderId id() const override { return id_; }

    int handle() const { return dirfd(dir_); }

    bool isPseudoFileSystem() const override {
#ifdef __linux__
        struct statfs fs;
        if (fstatfs(dirfd(dir_), &fs) != 0) return false;
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
    // such entries are left out.
    static bool decode(const char* raw, QString& name) {
        const size_t length = std::strlen(raw);
        bool ascii = true;
        for (size_t i = 0; i < length; ++i) {
            if (static_cast<unsigned char>(raw[i]) >= 0x80) {
                ascii = false;
                break;
            }
        }
        if (ascii) {
            name = QString::fromLatin1(raw, qsizetype(length));
            return true;
        }
        const QByteArray bytes(raw, qsizetype(length));
        name = QFile::decodeName(bytes);
        return QFile::encodeName(name) == bytes;
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
        if (fstatat(dirfd(dir_), raw, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
        if (S_ISLNK(st.st_mode)) return linkKind(raw);
        return kindOfStat(st);
    }

    // A link counts as the file it points to; a link to a folder is never walked.
    EntryKind linkKind(const char* raw) const {
        struct stat st;
        if (fstatat(dirfd(dir_), raw, &st, 0) != 0) return EntryKind::Other;
        return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
    }

    DIR* dir_;
    FolderId id_;
    const char* last_ = nullptr;
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
        return openAt(posix->handle(), QFile::encodeName(name).constData(), false);
    }

private:
    static std::unique_ptr<FolderReader> openAt(int at, const char* path, bool followLink) {
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
        const int fd = ::openat(at, path, flags);
        if (fd < 0) return nullptr;
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        DIR* dir = fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixFolderReader>(dir, st);
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

class WindowsEnumerator : public DirectoryEnumerator {
public:
    std::unique_ptr<FolderReader> open(const QString& folder, bool followLink) override {
        const std::wstring path = folder.toStdWString();
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

}  // namespace korvid::fs
