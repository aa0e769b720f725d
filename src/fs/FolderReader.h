#pragma once
// Directory enumeration as the folder walk needs it: one folder opened, its entries one at a time
// in the file system's own order, each already classified, so the walk needs no lookup of its own
// except the length of a file it lists. An interface, so tests can stand in failing folders.

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace korvid::fs {

enum class EntryKind {
    File,    // a plain file, or a link to one
    Folder,  // a real folder; a link or junction to a folder is Other
    Other    // links to folders, dangling links, devices, pipes: neither listed nor walked
};

// What makes a folder itself, whatever path reached it: device and inode, or volume and file id.
struct FolderId {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderId& other) const {
        return device == other.device && inode == other.inode;
    }
};

class FolderReader {
public:
    virtual ~FolderReader() = default;

    // The next entry ("." and ".." left out). False at the end, and on a failure partway: then
    // failed() is true.
    virtual bool next(QString& name, EntryKind& kind) = 0;
    virtual bool failed() const = 0;

    // The length in bytes of the file entry next() returned last (through a link: its target);
    // empty when it cannot be read, e.g. the file went away in between.
    virtual std::optional<qint64> lastFileLength() = 0;

    virtual FolderId id() const = 0;

    // Process and kernel tables mounted as folders (/proc, /sys): nothing to find there.
    virtual bool isPseudoFileSystem() const { return false; }
};

class DirectoryEnumerator {
public:
    virtual ~DirectoryEnumerator() = default;

    // Opens a folder (a path ending in the separator) for reading; null when it cannot be opened
    // or is no folder. A link as the last step is followed only when followLink is set: the user
    // may pick a linked folder as the search folder, the walk never enters one.
    virtual std::unique_ptr<FolderReader> open(const QString& folder, bool followLink) = 0;

    // Opens the subfolder name of an open folder, never through a link; path is its whole path.
    // The platform's enumeration looks the name up in the open folder, which spares it walking
    // the whole path again.
    virtual std::unique_ptr<FolderReader> openSubfolder(FolderReader& parent, const QString& name,
                                                        const QString& path) {
        (void)parent;
        (void)name;
        return open(path, false);
    }
};

// The platform's own enumeration (getdents64 on Linux, readdir on other POSIX systems,
// FindFirstFileExW on Windows).
std::unique_ptr<DirectoryEnumerator> makeNativeEnumerator();

// The blocks this thread has read from a disk so far, where the platform counts them for each
// thread (Linux); empty elsewhere. Tells a folder read from the disk from one in the cache.
std::optional<quint64> blocksReadByThisThread();

}  // namespace korvid::fs
