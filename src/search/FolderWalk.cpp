#include "search/FolderWalk.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QtNumeric>
#include <vector>

#include "fs/WildcardPattern.h"

namespace korvid::fs {
inline size_t qHash(const FolderId& id, size_t seed = 0) {
    return ::qHash(id.device, seed) ^ ::qHash(id.inode, seed * 31 + 7);
}
}  // namespace korvid::fs

namespace korvid::search {

namespace {

struct PendingFolder {
    QString path;
    QString name;
    // The open folder it was found in (none for the search folder): kept open while any of its
    // subfolders is pending, so each is opened by its name there.
    std::shared_ptr<fs::FolderReader> parent;
    quint64 parentDevice = 0;
    int depth = 0;
};

// Deeper than this, folders are opened by their whole path, so a very deep tree does not hold
// one open folder per level.
constexpr int kHeldParents = 64;

}  // namespace

FolderWalk::FolderWalk(fs::DirectoryEnumerator& enumerator, fs::PathStyle style)
    : enumerator_(enumerator), style_(style) {}

bool FolderWalk::run(const QString& sdn, const QString& ff, WalkSink& sink) {
    total_ = 0;
    const fs::WildcardPattern pattern(ff);
    QSet<fs::FolderId> walked;
    // Pending subfolders of every folder on the way down, the next to walk on top; this keeps
    // the depth-first order of a recursive walk without its depth limit.
    std::vector<PendingFolder> pending;
    pending.push_back({sdn, QString(), nullptr, 0, 0});
    QList<QString> subfolders;  // names

    while (!pending.empty()) {
        PendingFolder current = std::move(pending.back());
        pending.pop_back();

        const bool isRoot = current.depth == 0;
        sink.enterFolder(current.path);
        // A folder that cannot be opened or is gone yields no rows.
        std::shared_ptr<fs::FolderReader> reader;
        if (isRoot)
            reader = enumerator_.open(current.path, true);
        else if (current.parent)
            reader = enumerator_.openSubfolder(*current.parent, current.name, current.path);
        else
            reader = enumerator_.open(current.path, false);
        current.parent.reset();
        if (!reader) continue;
        const fs::FolderId id = reader->id();
        if (id.device != 0 || id.inode != 0) {
            if (walked.contains(id)) continue;
            walked.insert(id);
        }
        if ((isRoot || id.device != current.parentDevice) && reader->isPseudoFileSystem()) continue;

        subfolders.clear();
        bool failed = false;
        QString name;
        fs::EntryKind kind;
        while (reader->next(name, kind)) {
            if (kind == fs::EntryKind::File && pattern.matches(name)) {
                const std::optional<qint64> size = reader->lastFileLength();
                qint64 newTotal = 0;
                if (!size || qAddOverflow(total_, *size, &newTotal)) {
                    failed = true;
                    break;
                }
                FoundFile row;
                row.fullPath = fs::rowFullPath(current.path, name, style_);
                row.fileName = fs::rowFileName(name);
                row.folderWithoutDrive = fs::folderWithoutDrive(current.path, style_);
                row.size = *size;
                row.folder = current.path;
                if (!sink.addRow(std::move(row))) {
                    failed = true;
                    break;
                }
                total_ = newTotal;
            } else if (kind == fs::EntryKind::Folder) {
                subfolders.append(name);
            }
            if (!sink.yield()) return false;
        }
        // A failure partway keeps the rows made so far and skips all subfolders of the folder.
        if (failed || reader->failed()) continue;
        for (auto it = subfolders.crbegin(); it != subfolders.crend(); ++it)
            pending.push_back({fs::subfolderPath(current.path, *it, style_), *it,
                               current.depth < kHeldParents ? reader : nullptr, id.device,
                               current.depth + 1});
    }
    return true;
}

}  // namespace korvid::search
