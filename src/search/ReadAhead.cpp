#include "search/ReadAhead.h"

#include <chrono>
#include <optional>
#include <system_error>

namespace korvid::search {

// What the walk asks of one folder, read before it asks: its matches with their lengths and its
// subfolders, in enumeration order, and how many entries of no use to the walk lie between.
struct ReadAhead::Listing {
    struct Entry {
        QString name;
        fs::EntryKind kind;
        std::optional<qint64> size;  // of a match
        quint32 skippedBefore;       // entries of no use to the walk just before this one
    };
    std::vector<Entry> entries;
    quint32 skippedAtEnd = 0;
    bool opened = false;
    fs::FolderId id;
    bool failed = false;       // the enumeration failed partway
    bool lengthMissing = false;  // the listing ends at a match whose length could not be read
    bool pseudo = false;         // asked only where the walk asks: the search folder, a new device

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

// A walk waiting this long on a read is waiting on the disk: another reader may help.
constexpr auto kSlowRead = std::chrono::milliseconds(2);
// Open folders kept for their subfolders to be opened by name, at most.
constexpr int kMostKeptHandles = 256;

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
            name.clear();
            kind = fs::EntryKind::Other;
            return true;
        }
        if (at_ >= listing_->entries.size()) return false;
        last_ = &listing_->entries[at_++];
        name = last_->name;
        kind = last_->kind;
        skipsLeft_ = skipsBefore(at_);
        return true;
    }
    bool failed() const override { return listing_->failed; }
    std::optional<qint64> lastFileLength() override {
        return last_ ? last_->size : std::nullopt;
    }
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

bool ReadAhead::EarlierInWalk::operator()(const FolderPtr& a, const FolderPtr& b) const {
    return a->key < b->key;
}

ReadAhead::ReadAhead(std::shared_ptr<fs::DirectoryEnumerator> platform, fs::PathStyle style,
                     const QString& ff, Limits limits)
    : platform_(std::move(platform)), style_(style), pattern_(ff), limits_(limits) {}

ReadAhead::~ReadAhead() {
    stop();
}

std::unique_ptr<fs::FolderReader> ReadAhead::openSubfolder(fs::FolderReader&, const QString&,
                                                           const QString& path) {
    return open(path, false);
}

std::unique_ptr<fs::FolderReader> ReadAhead::open(const QString& folder, bool followLink) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::unique_ptr<Listing> listing;
    if (!stopping_) {
        FolderPtr wanted = byPath_.value(folder);
        if (!wanted) wanted = foresee(folder, followLink);
        dropBefore(wanted->key);
        if (wanted->state == Folder::State::Unread) {
            // No reader has come to it: the walk reads it itself rather than wait.
            unread_.erase(wanted);
            wanted->state = Folder::State::Reading;
            ++held_;
            Handle parent = std::move(wanted->parent);
            lock.unlock();
            Handle kept;
            std::unique_ptr<Listing> read = this->read(*wanted, std::move(parent), false, kept);
            lock.lock();
            finish(wanted, std::move(read), kept);
        }
        listing = waitFor(wanted, lock);
    }
    lock.unlock();
    // Stopped: the folder as the platform gives it.
    if (!listing) return platform_->open(folder, followLink);
    if (!listing->opened) return nullptr;
    return std::make_unique<ListedFolder>(std::move(listing));
}

std::unique_ptr<ReadAhead::Listing> ReadAhead::waitFor(const FolderPtr& folder,
                                                       std::unique_lock<std::mutex>& lock) {
    const auto ready = [&] { return folder->state == Folder::State::Read || stopping_; };
    while (!ready()) {
        if (!walkWakes_.wait_for(lock, kSlowRead, ready) && readers_.size() < limits_.mostReaders)
            startReader();
    }
    if (folder->state != Folder::State::Read || folder->dropped) return nullptr;
    std::unique_ptr<Listing> listing = std::move(folder->listing);
    --held_;
    forget(folder);
    readersWake_.notify_one();
    return listing;
}

// A folder the walk opens that was not foreseen (the search folder, above all): reading ahead
// starts again from it.
ReadAhead::FolderPtr ReadAhead::foresee(const QString& path, bool followLink) {
    dropAll();
    return addFolder(WalkKey(), path, followLink);
}

ReadAhead::FolderPtr ReadAhead::addFolder(WalkKey key, QString path, bool followLink) {
    auto folder = std::make_shared<Folder>();
    folder->key = std::move(key);
    folder->path = std::move(path);
    folder->followLink = followLink;
    ahead_.insert(folder);
    unread_.insert(folder);
    byPath_.insert(folder->path, folder);
    return folder;
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
        --held_;
    }
    folder->parent.reset();
    forget(folder);
}

// Everything before key in the walk's order that the walk has not taken, it passed over.
void ReadAhead::dropBefore(const WalkKey& key) {
    const size_t held = held_;
    while (!ahead_.empty() && (*ahead_.begin())->key < key) drop(*ahead_.begin());
    if (held_ < held) readersWake_.notify_all();
}

void ReadAhead::dropAll() {
    while (!ahead_.empty()) drop(*ahead_.begin());
    readersWake_.notify_all();
}

void ReadAhead::finish(const FolderPtr& folder, std::unique_ptr<Listing> listing,
                       const Handle& kept) {
    if (folder->dropped || stopping_) {
        --held_;
        readersWake_.notify_one();
        return;
    }
    if (listing->walkedBelow()) addSubfolders(*folder, *listing, kept);
    folder->listing = std::move(listing);
    folder->state = Folder::State::Read;
    walkWakes_.notify_one();
}

void ReadAhead::addSubfolders(const Folder& folder, const Listing& listing, const Handle& kept) {
    quint32 index = 0;
    for (const Listing::Entry& entry : listing.entries) {
        if (entry.kind != fs::EntryKind::Folder) continue;
        WalkKey key = folder.key;
        key.push_back(index++);
        const FolderPtr child =
            addFolder(std::move(key), fs::subfolderPath(folder.path, entry.name, style_), false);
        child->nameAt = folder.path.size();
        child->parentDevice = listing.id.device;
        child->parent = kept;
    }
    if (index == 0) return;
    if (started_ == 0) {
        const unsigned first = limits_.firstReaders ? limits_.firstReaders
                                                    : std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < std::min(first, limits_.mostReaders); ++i) startReader();
    }
    readersWake_.notify_all();
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
        readersWake_.wait(lock, [this] {
            return stopping_ || (!unread_.empty() && held_ < limits_.listings);
        });
        if (stopping_) return;
        const FolderPtr folder = *unread_.begin();
        unread_.erase(unread_.begin());
        folder->state = Folder::State::Reading;
        ++held_;
        Handle parent = std::move(folder->parent);
        lock.unlock();
        Handle kept;
        std::unique_ptr<Listing> listing;
        try {
            listing = read(*folder, std::move(parent), true, kept);
        } catch (...) {
            // Out of memory: the walk reads this folder itself when it comes to it.
            lock.lock();
            --held_;
            if (!folder->dropped && !stopping_) {
                folder->state = Folder::State::Unread;
                unread_.insert(folder);
            }
            return;
        }
        lock.lock();
        finish(folder, std::move(listing), kept);
    }
}

std::unique_ptr<ReadAhead::Listing> ReadAhead::read(const Folder& folder, Handle parent,
                                                    bool onReader, Handle& kept) {
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
    bool subfolders = false;
    while (reader->next(name, kind)) {
        if (onReader && stopping_.load(std::memory_order_relaxed)) return listing;
        if (kind == fs::EntryKind::File && pattern_.matches(name)) {
            const std::optional<qint64> size = reader->lastFileLength();
            listing->entries.push_back({name, kind, size, skipped});
            // The walk ends the folder at a match without a length: nothing after it counts.
            if (!size) {
                listing->lengthMissing = true;
                return listing;
            }
        } else if (kind == fs::EntryKind::Folder) {
            listing->entries.push_back({name, kind, std::nullopt, skipped});
            subfolders = true;
        } else {
            ++skipped;
            continue;
        }
        skipped = 0;
    }
    listing->skippedAtEnd = skipped;
    listing->failed = reader->failed();
    if (subfolders && listing->walkedBelow()) kept = keepHandle(std::move(reader));
    return listing;
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
