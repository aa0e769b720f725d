#pragma once
// Reading ahead of the folder walk. On a drive that is not in the cache, every folder the walk
// opens waits on the disk, one read at a time, while the disk could serve many at once. A few
// reader threads open and read the folders the walk will enter next, in the walk's own order,
// and the walk takes their listings one after the other: it opens a folder through this
// enumerator as it always does and gets what a reader read there a moment before, so its rows,
// their order, its progress texts and its handling of failures stay what they are.
//
// The walk's order follows from the listings themselves: after a folder come its subfolders in
// enumeration order, each with everything below it. Readers take the earliest folder not yet
// read. A folder the walk passes over (one already walked, one that failed, a process table) is
// dropped, with what was read below it, as soon as the walk opens a later one. A folder the
// walk opens that no reader has taken it reads itself, and one that was not foreseen (the search
// folder) starts the reading ahead again from there.
//
// Readers read ahead only while folders come from the disk: from the cache a folder reads in
// microseconds, and the walk reading it itself costs less than handing it over. A folder read
// ahead is listed as it was when read, a moment before the walk comes to it.

#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fs/FolderReader.h"
#include "fs/PathRules.h"
#include "fs/WildcardPattern.h"

namespace korvid::search {

class ReadAhead final : public fs::DirectoryEnumerator {
public:
    struct Limits {
        // Listings read (or being read) and not yet taken by the walk, at most.
        size_t listings = 2048;
        // Readers when reads first wait on the disk (0: one per processor, at least two), and at
        // most: more start while the walk waits on them and reads still wait on the disk.
        unsigned firstReaders = 0;
        unsigned mostReaders = 16;
        // Read ahead also while folders come from the cache (tests, measurements).
        bool evenFromCache = false;
    };

    // For the walk of this file-name pattern: only its matches are looked up for their length and
    // kept by name, the other files are counted.
    ReadAhead(std::shared_ptr<fs::DirectoryEnumerator> platform, fs::PathStyle style,
              const QString& pattern, Limits limits);
    ReadAhead(std::shared_ptr<fs::DirectoryEnumerator> platform, fs::PathStyle style,
              const QString& pattern)
        : ReadAhead(std::move(platform), style, pattern, Limits()) {}
    // Stops the readers and waits for them.
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    std::unique_ptr<fs::FolderReader> open(const QString& folder, bool followLink) override;
    std::unique_ptr<fs::FolderReader> openSubfolder(fs::FolderReader& parent, const QString& name,
                                                    const QString& path) override;

    // Stops the readers and waits for them to end; a walk that goes on reads each folder itself
    // from then on. The walk's thread may be inside open meanwhile.
    void stop();

    // How many readers were started, for the benchmark.
    unsigned readersStarted() const;

    struct Listing;

private:
    // The child indices from the search folder down, four bytes each, most significant first:
    // the walk's order is their order as bytes.
    using WalkKey = std::string;
    struct Folder;
    using FolderPtr = std::shared_ptr<Folder>;
    struct EarlierInWalk {
        bool operator()(const FolderPtr& a, const FolderPtr& b) const;
    };
    using Handle = std::shared_ptr<fs::FolderReader>;

    class WatchedFolder;
    std::unique_ptr<fs::FolderReader> openFolder(const QString& folder, bool followLink,
                                                 fs::FolderReader* parent, const QString& name);
    std::unique_ptr<fs::FolderReader> openItself(const QString& folder, bool followLink,
                                                 fs::FolderReader* parent, const QString& name);
    void noteRead(std::optional<bool> fromDisk);
    void readerLoop();
    std::unique_ptr<Listing> read(const Folder& folder, Handle parent, bool onReader);
    void foreseeSubfolders(const Folder& folder, Listing& listing,
                           std::unique_ptr<fs::FolderReader> reader);
    Handle keepHandle(std::unique_ptr<fs::FolderReader> reader);

    // Under mutex_.
    FolderPtr foresee(const QString& path, bool followLink);
    FolderPtr addFolder(WalkKey key, QString path, bool followLink);
    void enter(const FolderPtr& folder);
    void finish(const FolderPtr& folder, std::unique_ptr<Listing> listing,
                std::optional<bool> readFromDisk);
    void forget(const FolderPtr& folder);
    void drop(FolderPtr folder);
    void dropBefore(const WalkKey& key);
    void dropAll();
    void hold();
    void release();
    void startReader();
    void note(std::optional<bool> fromDisk);
    std::unique_ptr<Listing> take(const FolderPtr& wanted, std::unique_lock<std::mutex>& lock);
    std::unique_ptr<Listing> waitFor(const FolderPtr& folder, std::unique_lock<std::mutex>& lock);

    const std::shared_ptr<fs::DirectoryEnumerator> platform_;
    const fs::PathStyle style_;
    const fs::WildcardPattern pattern_;
    Limits limits_;

    mutable std::mutex mutex_;
    std::condition_variable readersWake_;        // a folder to read, room, or stop
    std::condition_variable walkWakes_;          // a listing is read, or stop
    std::set<FolderPtr, EarlierInWalk> ahead_;   // every folder the walk may still open, in order
    std::set<FolderPtr, EarlierInWalk> unread_;  // of those, the ones no reader has taken
    QHash<QString, FolderPtr> byPath_;
    size_t held_ = 0;            // listings being read, or read and not taken
    bool full_ = false;          // held_ reached the limit; readers wait for room
    unsigned idle_ = 0;          // readers waiting for a folder to read
    int diskShare_ = -1;         // reads from the disk of late, in 1024ths; -1: none looked at yet
    bool readingAhead_ = false;  // otherwise the walk reads from the platform itself
    QString searchFolder_;       // the first folder opened
    bool searchFolderLink_ = false;
    std::vector<std::thread> readers_;
    unsigned started_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> keptHandles_{0};
};

}  // namespace korvid::search
