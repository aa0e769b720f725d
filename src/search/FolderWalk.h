#pragma once
// alf, the folder walk: the matches of a folder in enumeration order, then each subfolder the
// same way, depth first. Each folder is read once for both passes; only the files listed are
// looked up for their length. Folders reached through a link, and folders already walked, are
// not walked: a link back to a parent would otherwise walk forever.

#include <QString>
#include <memory>
#include <vector>

#include "fs/FolderReader.h"
#include "fs/PathRules.h"
#include "search/FoundFile.h"

namespace korvid::search {

// Where the rows go. The walk may run on a thread of its own: then the sink is called there.
class WalkSink {
public:
    virtual ~WalkSink() = default;
    // The walk of a folder begins ("正在搜索：" + folder).
    virtual void enterFolder(const QString& folder) = 0;
    // A row is made; false when it could not be added, which ends the walk of that folder.
    virtual bool addRow(FoundFile&& row) = 0;
    // After every entry; false stops the whole walk (the window is going away).
    virtual bool yield() = 0;
};

class FolderWalk {
public:
    FolderWalk(fs::DirectoryEnumerator& enumerator, fs::PathStyle style);

    // Walks folder (ending in the separator) for files matching pattern. False when the sink
    // stopped it.
    bool run(const QString& folder, const QString& pattern, WalkSink& sink);

    // The sizes of the rows made by run, added up.
    qint64 total() const { return total_; }

private:
    struct PendingFolder;
    using HeldFolders = std::vector<std::unique_ptr<fs::FolderReader>>;

    std::unique_ptr<fs::FolderReader> open(const PendingFolder& folder, const HeldFolders& held);
    // The row of the file next() returned last; false when it cannot be made.
    bool addRow(fs::FolderReader& reader, const QString& folder, const QString& name,
                WalkSink& sink);

    fs::DirectoryEnumerator& enumerator_;
    fs::PathStyle style_;
    qint64 total_ = 0;
};

}  // namespace korvid::search
