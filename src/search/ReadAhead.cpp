#include "search/ReadAhead.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <system_error>

namespace korvid::search {

// What the walk asks of one folder, read before it asks: its matches with their lengths and its
// subfolders, in enumeration order, and how many entries of no use to the walk lie between.
struct ReadAhead::Listing {
    struct Entry {
        fs::EntryKind kind;
        quint32 skippedBefore;  // entries of no use to the walk just before this one
        qsizetype nameAt;       // in names
        qsizetype nameLength;
        std::optional<qint64> size;  // of a match
    };
    QString names;  // one string for the folder's names, the readers' one allocation
    std::vector<Entry> entries;
    quint32 skippedAtEnd = 0;
    bool opened = false;
    fs::FolderId id;
    bool failed = false;         // the enumeration failed partway
    bool lengthMissing = false;  // the listing ends at a match whose length could not be read
    bool pseudo = false;         // asked only where the walk asks: the search folder, a new device
    std::vector<FolderPtr> subfolders;  // to read next, made by the reader

    // The walk enters the subfolders of this folder only.
    bool walkedBelow() const { return opened && !failed && !lengthMissing && !pseudo; }
};

struct ReadAhead::Folder {
    enum class State { Unread, Reading, Read };
    WalkKey key;
    QString path;
    qsizetype nameAt = -1;  // where its own name starts in path; -1: opened by the whole path
    bool followLink = false;
    std::optional<quint64> parentDevice;  // empty: not known, as for the search folder
    Handle parent;                        // the parent folder, kept open to open this one by name
    State state = State::Unread;
    bool dropped = false;  // the walk passed it over, or the readers stopped
    std::unique_ptr<Listing> listing;
};

namespace {

// A read that takes this long comes from the disk, where the platform does not count the blocks
// a thread reads: a folder in the cache reads in tens of microseconds.
constexpr qint64 kDiskReadUs = 200;
// A read quicker than this came from the cache: the blocks read are not asked for.
constexpr qint64 kCacheReadUs = 40;
// Reading ahead starts when a quarter of the reads or more came from the disk of late, and stops
// below a sixteenth. From the cache the walk reads each folder itself from the platform: handing
// listings over between threads costs more than reading a folder there.
constexpr int kStartAhead = 256;  // of 1024
constexpr int kStopAhead = 64;
// A walk waiting this long on a reader, while reads come from the disk: another reader may help.
constexpr auto kLongWait = std::chrono::milliseconds(2);
// Open folders kept for their subfolders to be opened by name, at most.
constexpr int kMostKeptHandles = 256;

// Whether one folder read waited on the disk. One read in four is looked at. A read quicker than
// kCacheReadUs came from the cache; only a slower one asks for the blocks this thread has read
// since it last asked: that is a system call, which the cache's reads should not pay for on every
// folder.
class ReadWatch {
public:
    ReadWatch() {
        thread_local unsigned reads = 0;
        if (reads++ % 4 != 0) return;
        watched_ = true;
        if (!blocksSeen()) blocksSeen() = fs::blocksReadByThisThread();
        began_ = std::chrono::steady_clock::now();
    }
    bool watched() const { return watched_; }
    std::optional<bool> fromDisk() const {
        if (!watched_) return std::nullopt;
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - began_)
                              .count();
        if (took < kCacheReadUs) return false;
        std::optional<quint64>& seen = blocksSeen();
        if (!seen) return took >= kDiskReadUs;
        const quint64 before = *seen;
        seen = fs::blocksReadByThisThread().value_or(before);
        return *seen > before;
    }

private:
    static std::optional<quint64>& blocksSeen() {
        thread_local std::optional<quint64> seen;
        return seen;
    }

    bool watched_ = false;
    std::chrono::steady_clock::time_point began_;
};

// A folder as the walk reads it, from its listing: every entry of no use to the walk comes as a
// nameless Other, so the walk yields once per entry as it does over the folder itself.
class ListedFolder final : public fs::FolderReader {
public:
    explicit ListedFolder(std::unique_ptr<ReadAhead::Listing> listing)
        : listing_(std::move(listing)), skipsLeft_(skipsBefore(0)) {}

    bool next(QString& name, fs::EntryKind& kind) override {
        last_ = nullptr;
        if (skipsLeft_ > 0) {
            --skipsLeft_;
            name.resize(0);
            kind = fs::EntryKind::Other;
            return true;
        }
        if (at_ >= listing_->entries.size()) return false;
        last_ = &listing_->entries[at_++];
        // Into the walk's own string, as the platform's enumeration does.
        name.setUnicode(listing_->names.constData() + last_->nameAt, last_->nameLength);
        kind = last_->kind;
        skipsLeft_ = skipsBefore(at_);
        return true;
    }
    bool failed() const override { return listing_->failed; }
    std::optional<qint64> lastFileLength() override { return last_ ? last_->size : std::nullopt; }
    fs::FolderId id() const override { return listing_->id; }
    bool isPseudoFileSystem() const override { return listing_->pseudo; }

private:
    quint32 skipsBefore(size_t at) const {
        return at < listing_->entries.size() ? listing_->entries[at].skippedBefore
                                             : listing_->skippedAtEnd;
    }

    std::unique_ptr<ReadAhead::Listing> listing_;
    size_t at_ = 0;
    quint32 skipsLeft_;
    const ReadAhead::Listing::Entry* last_ = nullptr;
};

}  // namespace

// A folder the walk reads itself from the platform, looked at to tell whether it came from the
// disk; said once the walk has read it to the end or let it go.
class ReadAhead::WatchedFolder final : public fs::FolderReader {
public:
    WatchedFolder(std::unique_ptr<fs::FolderReader> folder, const ReadWatch& watch,
                  ReadAhead& owner)
        : folder_(std::move(folder)), watch_(watch), owner_(owner) {}
    ~WatchedFolder() override { said(); }

    fs::FolderReader& platform() { return *folder_; }
    bool next(QString& name, fs::EntryKind& kind) override {
        if (folder_->next(name, kind)) return true;
        said();
        return false;
    }
    bool failed() const override { return folder_->failed(); }
    std::optional<qint64> lastFileLength() override { return folder_->lastFileLength(); }
    fs::FolderId id() const override { return folder_->id(); }
    bool isPseudoFileSystem() const override { return folder_->isPseudoFileSystem(); }

private:
    void said() {
        if (saying_) owner_.noteRead(watch_.fromDisk());
        saying_ = false;
    }

    std::unique_ptr<fs::FolderReader> folder_;
    ReadWatch watch_;
    ReadAhead& owner_;
    bool saying_ = true;
};

bool ReadAhead::EarlierInWalk::operator()(const FolderPtr& a, const FolderPtr& b) const {
    return a->key < b->key;
}

ReadAhead::ReadAhead(std::shared_ptr<fs::DirectoryEnumerator> platform, fs::PathStyle style,
                     const QString& pattern, Limits limits)
    : platform_(std::move(platform)), style_(style), pattern_(pattern), limits_(limits) {
    if (limits_.firstReaders == 0)
        limits_.firstReaders = std::max(2u, std::thread::hardware_concurrency());
}

ReadAhead::~ReadAhead() {
    stop();
}

std::unique_ptr<fs::FolderReader> ReadAhead::open(const QString& folder, bool followLink) {
    return openFolder(folder, followLink, nullptr, QString());
}

std::unique_ptr<fs::FolderReader> ReadAhead::openSubfolder(fs::FolderReader& parent,
                                                           const QString& name,
                                                           const QString& path) {
    return openFolder(path, false, &parent, name);
}

std::unique_ptr<fs::FolderReader> ReadAhead::openFolder(const QString& folder, bool followLink,
                                                        fs::FolderReader* parent,
                                                        const QString& name) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (searchFolder_.isNull()) {
        searchFolder_ = folder;
        searchFolderLink_ = followLink;
    }
    FolderPtr wanted = readingAhead_ ? byPath_.value(folder) : nullptr;
    if (!stopping_ && !limits_.evenFromCache) {
        if (!readingAhead_ && diskShare_ >= kStartAhead) {
            readingAhead_ = true;
            readersWake_.notify_all();
        } else if (readingAhead_ && diskShare_ < kStopAhead &&
                   (!wanted || wanted->state == Folder::State::Unread)) {
            readingAhead_ = false;
            dropAll();
        }
    }
    if (stopping_ || (!readingAhead_ && !limits_.evenFromCache)) {
        lock.unlock();
        return openItself(folder, followLink, parent, name);
    }
    readingAhead_ = true;
    if (!wanted) wanted = foresee(folder, followLink);
    std::unique_ptr<Listing> listing = take(wanted, lock);
    lock.unlock();
    // Stopped: the folder as the platform gives it.
    if (!listing) return platform_->open(folder, followLink);
    if (!listing->opened) return nullptr;
    return std::make_unique<ListedFolder>(std::move(listing));
}

// The walk reads the folder itself, from the platform; one read in four is looked at.
std::unique_ptr<fs::FolderReader> ReadAhead::openItself(const QString& folder, bool followLink,
                                                        fs::FolderReader* parent,
                                                        const QString& name) {
    const ReadWatch watch;
    if (auto* watched = dynamic_cast<WatchedFolder*>(parent)) parent = &watched->platform();
    std::unique_ptr<fs::FolderReader> opened;
    if (parent && !dynamic_cast<ListedFolder*>(parent))
        opened = platform_->openSubfolder(*parent, name, folder);
    else
        opened = platform_->open(folder, followLink);
    if (!opened || !watch.watched()) return opened;
    return std::make_unique<WatchedFolder>(std::move(opened), watch, *this);
}

void ReadAhead::noteRead(std::optional<bool> fromDisk) {
    const std::lock_guard<std::mutex> lock(mutex_);
    note(fromDisk);
}

// The share of reads from the disk, of late.
void ReadAhead::note(std::optional<bool> fromDisk) {
    if (!fromDisk) return;
    const int read = *fromDisk ? 1024 : 0;
    diskShare_ = diskShare_ < 0 ? read : diskShare_ + (read - diskShare_) / 8;
}

// The listing of a folder foreseen: read by a reader, or by the walk itself when no reader has
// come to it. Null once stopped.
std::unique_ptr<ReadAhead::Listing> ReadAhead::take(const FolderPtr& wanted,
                                                    std::unique_lock<std::mutex>& lock) {
    dropBefore(wanted->key);
    if (wanted->state == Folder::State::Unread) {
        // No reader has come to it: the walk reads it itself rather than wait.
        unread_.erase(wanted);
        wanted->state = Folder::State::Reading;
        hold();
        Handle parent = std::move(wanted->parent);
        lock.unlock();
        const ReadWatch watch;
        std::unique_ptr<Listing> read = this->read(*wanted, std::move(parent), false);
        const std::optional<bool> fromDisk = watch.fromDisk();
        lock.lock();
        finish(wanted, std::move(read), fromDisk);
    }
    return waitFor(wanted, lock);
}

std::unique_ptr<ReadAhead::Listing> ReadAhead::waitFor(const FolderPtr& folder,
                                                       std::unique_lock<std::mutex>& lock) {
    const auto ready = [&] { return folder->state == Folder::State::Read || stopping_; };
    while (!ready()) {
        if (!walkWakes_.wait_for(lock, kLongWait, ready) && readers_.size() < limits_.mostReaders)
            startReader();
    }
    if (folder->state != Folder::State::Read || folder->dropped) return nullptr;
    std::unique_ptr<Listing> listing = std::move(folder->listing);
    forget(folder);
    release();
    return listing;
}

// A folder the walk opens that was not foreseen: where the walk stands is known from the path,
// so the folders on the way down from the search folder (in the cache: the walk has just read
// them) are read again for the later subfolders of each, which the walk will enter after this
// one. Where the way cannot be followed, reading ahead starts from this folder alone.
ReadAhead::FolderPtr ReadAhead::foresee(const QString& path, bool followLink) {
    dropAll();
    Folder at;
    at.path = searchFolder_;
    at.followLink = searchFolderLink_;
    while (at.path != path && path.startsWith(at.path)) {
        std::unique_ptr<Listing> listing = read(at, nullptr, false);
        const auto& subfolders = listing->subfolders;
        const auto below =
            std::find_if(subfolders.begin(), subfolders.end(),
                         [&](const FolderPtr& s) { return path.startsWith(s->path); });
        if (below == subfolders.end()) break;
        for (auto later = below + 1; later != subfolders.end(); ++later) enter(*later);
        at.key = (*below)->key;
        at.path = (*below)->path;
        at.followLink = false;
        at.parentDevice = (*below)->parentDevice;
    }
    if (at.path != path) {
        dropAll();
        return addFolder(WalkKey(), path, followLink);
    }
    const FolderPtr folder = addFolder(at.key, path, followLink);
    folder->parentDevice = at.parentDevice;
    return folder;
}

ReadAhead::FolderPtr ReadAhead::addFolder(WalkKey key, QString path, bool followLink) {
    auto folder = std::make_shared<Folder>();
    folder->key = std::move(key);
    folder->path = std::move(path);
    folder->followLink = followLink;
    enter(folder);
    return folder;
}

void ReadAhead::enter(const FolderPtr& folder) {
    ahead_.insert(folder);
    unread_.insert(folder);
    byPath_.insert(folder->path, folder);
}

void ReadAhead::forget(const FolderPtr& folder) {
    ahead_.erase(folder);
    unread_.erase(folder);
    const auto it = byPath_.constFind(folder->path);
    if (it != byPath_.cend() && it.value() == folder) byPath_.erase(it);
}

// A folder being read is let go by its reader when it is done.
void ReadAhead::drop(FolderPtr folder) {
    folder->dropped = true;
    if (folder->state == Folder::State::Read) {
        folder->listing.reset();
        release();
    }
    folder->parent.reset();
    forget(folder);
}

// Everything before key in the walk's order that the walk has not taken, it passed over.
void ReadAhead::dropBefore(const WalkKey& key) {
    while (!ahead_.empty() && (*ahead_.begin())->key < key) drop(*ahead_.begin());
}

void ReadAhead::dropAll() {
    while (!ahead_.empty()) drop(*ahead_.begin());
}

void ReadAhead::hold() {
    if (++held_ >= limits_.listings) full_ = true;
}

// Readers that found no room go on when a quarter of it is free again, so that they read many
// folders in a row rather than wake for each one the walk takes.
void ReadAhead::release() {
    --held_;
    if (full_ && held_ <= limits_.listings - limits_.listings / 4) {
        full_ = false;
        readersWake_.notify_all();
    }
}

void ReadAhead::finish(const FolderPtr& folder, std::unique_ptr<Listing> listing,
                       std::optional<bool> readFromDisk) {
    note(readFromDisk);
    if (folder->dropped || stopping_) {
        release();
        return;
    }
    for (const FolderPtr& subfolder : listing->subfolders) enter(subfolder);
    if (!unread_.empty()) {
        for (size_t i = readers_.size(); i < std::min(limits_.firstReaders, limits_.mostReaders);
             ++i)
            startReader();
        if (!full_)
            for (size_t i = 0; i < std::min(listing->subfolders.size(), size_t(idle_)); ++i)
                readersWake_.notify_one();
    }
    listing->subfolders.clear();
    folder->listing = std::move(listing);
    folder->state = Folder::State::Read;
    walkWakes_.notify_one();
}

void ReadAhead::startReader() {
    if (stopping_) return;
    try {
        readers_.emplace_back(&ReadAhead::readerLoop, this);
        ++started_;
    } catch (const std::system_error&) {
        // No more threads to be had: those there are, and the walk itself, read on.
    }
}

void ReadAhead::readerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        readersWake_.wait(
            lock, [this] { return stopping_ || (!unread_.empty() && !full_ && readingAhead_); });
        --idle_;
        if (stopping_) return;
        const FolderPtr folder = *unread_.begin();
        unread_.erase(unread_.begin());
        folder->state = Folder::State::Reading;
        hold();
        Handle parent = std::move(folder->parent);
        lock.unlock();
        const ReadWatch watch;
        std::unique_ptr<Listing> listing;
        try {
            listing = read(*folder, std::move(parent), true);
        } catch (...) {
            // Out of memory: the walk reads this folder itself when it comes to it.
            lock.lock();
            release();
            if (!folder->dropped && !stopping_) {
                folder->state = Folder::State::Unread;
                unread_.insert(folder);
            }
            return;
        }
        const std::optional<bool> fromDisk = watch.fromDisk();
        lock.lock();
        finish(folder, std::move(listing), fromDisk);
    }
}

std::unique_ptr<ReadAhead::Listing> ReadAhead::read(const Folder& folder, Handle parent,
                                                    bool onReader) {
    auto listing = std::make_unique<Listing>();
    std::unique_ptr<fs::FolderReader> reader;
    if (parent && folder.nameAt >= 0) {
        const QString name = QString::fromRawData(folder.path.constData() + folder.nameAt,
                                                  folder.path.size() - folder.nameAt - 1);
        reader = platform_->openSubfolder(*parent, name, folder.path);
    } else {
        reader = platform_->open(folder.path, folder.followLink);
    }
    parent.reset();
    if (!reader) return listing;  // cannot be opened, or gone: no rows
    listing->opened = true;
    listing->id = reader->id();
    listing->pseudo = (!folder.parentDevice || listing->id.device != *folder.parentDevice) &&
                      reader->isPseudoFileSystem();
    QString name;
    fs::EntryKind kind;
    quint32 skipped = 0;
    while (reader->next(name, kind)) {
        if (onReader && stopping_.load(std::memory_order_relaxed)) return listing;
        std::optional<qint64> size;
        if (kind == fs::EntryKind::File && pattern_.matches(name)) {
            size = reader->lastFileLength();
        } else if (kind != fs::EntryKind::Folder) {
            ++skipped;
            continue;
        }
        listing->entries.push_back({kind, skipped, listing->names.size(), name.size(), size});
        listing->names.append(name);
        skipped = 0;
        // The walk ends the folder at a match without a length: nothing after it counts.
        if (kind == fs::EntryKind::File && !size) {
            listing->lengthMissing = true;
            return listing;
        }
    }
    listing->skippedAtEnd = skipped;
    listing->failed = reader->failed();
    if (listing->walkedBelow()) foreseeSubfolders(folder, *listing, std::move(reader));
    return listing;
}

// The subfolders the walk will enter, made here on the reader's thread, to be read next.
void ReadAhead::foreseeSubfolders(const Folder& folder, Listing& listing,
                                  std::unique_ptr<fs::FolderReader> reader) {
    Handle kept;
    quint32 index = 0;
    for (const Listing::Entry& entry : listing.entries) {
        if (entry.kind != fs::EntryKind::Folder) continue;
        if (!kept && reader) kept = keepHandle(std::move(reader));
        auto subfolder = std::make_shared<Folder>();
        subfolder->key = folder.key;
        for (int shift = 24; shift >= 0; shift -= 8) subfolder->key.push_back(char(index >> shift));
        ++index;
        const QString name =
            QString::fromRawData(listing.names.constData() + entry.nameAt, entry.nameLength);
        subfolder->path = fs::subfolderPath(folder.path, name, style_);
        subfolder->nameAt = folder.path.size();
        subfolder->parentDevice = listing.id.device;
        subfolder->parent = kept;
        listing.subfolders.push_back(std::move(subfolder));
    }
}

ReadAhead::Handle ReadAhead::keepHandle(std::unique_ptr<fs::FolderReader> reader) {
    if (keptHandles_.fetch_add(1) >= kMostKeptHandles) {
        --keptHandles_;
        return nullptr;
    }
    return Handle(reader.release(), [this](fs::FolderReader* open) {
        delete open;
        --keptHandles_;
    });
}

void ReadAhead::stop() {
    std::vector<std::thread> readers;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        dropAll();
        readers.swap(readers_);
    }
    readersWake_.notify_all();
    walkWakes_.notify_all();
    for (std::thread& reader : readers) reader.join();
}

unsigned ReadAhead::readersStarted() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

}  // namespace korvid::search
