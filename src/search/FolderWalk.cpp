#include "search/FolderWalk.h"

#include <QSet>
#include <QtNumeric>
#include <algorithm>
#include <vector>

#include "fs/WildcardPattern.h"

namespace korvid::fs {
inline size_t qHash(const FolderId& id, size_t seed = 0) {
    return ::qHash(id.device, seed) ^ ::qHash(id.inode, seed * 31 + 7);
}
}  // namespace korvid::fs

namespace korvid::search {

struct FolderWalk::PendingFolder {
    QString path;
    qsizetype nameAt = 0;  // where the subfolder's own name starts in path
    quint64 parentDevice = 0;
    int depth = 0;
};

namespace {

// Deeper than this, folders are opened by their whole path, so a very deep tree does not hold
// one open folder per level.
constexpr int kHeldParents = 64;

}  // namespace

FolderWalk::FolderWalk(fs::DirectoryEnumerator& enumerator, fs::PathStyle style)
    : enumerator_(enumerator), style_(style) {}

bool FolderWalk::run(const QString& folder, const QString& pattern, WalkSink& sink) {
    total_ = 0;
    const fs::WildcardPattern wildcard(pattern);
    QSet<fs::FolderId> walked;
    // Pending subfolders of every folder on the way down, the next to walk on top; this keeps
    // the depth-first order of a recursive walk without its depth limit.
    std::vector<PendingFolder> pending;
    pending.push_back({folder, folder.size(), 0, 0});
    // held[d]: the open folder at depth d on the way to the folder walked now, while any of its
    // subfolders is pending, so each is opened by its name there.
    HeldFolders held;

    while (!pending.empty()) {
        const PendingFolder current = std::move(pending.back());
        pending.pop_back();
        // Everything below the folder's earlier siblings has been walked.
        if (held.size() > size_t(current.depth)) held.resize(size_t(current.depth));

        sink.enterFolder(current.path);
        std::unique_ptr<fs::FolderReader> reader = open(current, held);
        // A folder that cannot be opened or is gone yields no rows.
        if (!reader) continue;
        const fs::FolderId id = reader->id();
        if (id.device != 0 || id.inode != 0) {
            const qsizetype before = walked.size();
            walked.insert(id);
            if (walked.size() == before) continue;
        }
        if ((current.depth == 0 || id.device != current.parentDevice) &&
            reader->isPseudoFileSystem())
            continue;

        const size_t firstSubfolder = pending.size();
        bool failed = false;
        QString name;
        fs::EntryKind kind;
        while (reader->next(name, kind)) {
            if (kind == fs::EntryKind::File && wildcard.matches(name)) {
                if (!addRow(*reader, current.path, name, sink)) {
                    failed = true;
                    break;
                }
            } else if (kind == fs::EntryKind::Folder) {
                pending.push_back({fs::subfolderPath(current.path, name, style_),
                                   current.path.size(), id.device, current.depth + 1});
            }
            if (!sink.yield()) return false;
        }
        // A failure partway keeps the rows made so far and skips all subfolders of the folder.
        if (failed || reader->failed()) {
            pending.resize(firstSubfolder);
            continue;
        }
        // In enumeration order, the first on top.
        std::reverse(pending.begin() + qsizetype(firstSubfolder), pending.end());
        if (pending.size() > firstSubfolder && current.depth < kHeldParents) {
            held.resize(size_t(current.depth));
            held.push_back(std::move(reader));
        }
    }
    return true;
}

std::unique_ptr<fs::FolderReader> FolderWalk::open(const PendingFolder& folder,
                                                   const HeldFolders& held) {
    // The user may pick a linked folder as the search folder; the walk never enters one.
    if (folder.depth == 0) return enumerator_.open(folder.path, true);
    const size_t parentDepth = size_t(folder.depth - 1);
    if (parentDepth >= held.size() || !held[parentDepth])
        return enumerator_.open(folder.path, false);
    // The name is read in place in the path, which outlives the call.
    const qsizetype length = folder.path.size() - folder.nameAt - 1;
    const QString name = QString::fromRawData(folder.path.constData() + folder.nameAt, length);
    return enumerator_.openSubfolder(*held[parentDepth], name, folder.path);
}

bool FolderWalk::addRow(fs::FolderReader& reader, const QString& folder, const QString& name,
                        WalkSink& sink) {
    const std::optional<qint64> size = reader.lastFileLength();
    qint64 newTotal = 0;
    if (!size || qAddOverflow(total_, *size, &newTotal)) return false;
    FoundFile row;
    row.folder = folder;  // shared with the folder's other rows
    row.name = style_ == fs::PathStyle::Windows ? fs::rowFileName(name) : name;
    row.size = *size;
    if (!sink.addRow(std::move(row))) return false;
    total_ = newTotal;
    return true;
}

}  // namespace korvid::search
