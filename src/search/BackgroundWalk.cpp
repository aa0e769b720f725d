#include "search/BackgroundWalk.h"

#include <iterator>
#include <system_error>

namespace korvid::search {

namespace {

// Rows are handed over on entering each folder, and in a long folder after this many entries.
constexpr unsigned kEntriesPerHandOver = 512;

}  // namespace

BackgroundWalk::BackgroundWalk(std::shared_ptr<fs::DirectoryEnumerator> enumerator,
                               fs::PathStyle style, QString folder, QString pattern,
                               ReadAhead::Limits limits)
    : readAhead_(std::make_shared<ReadAhead>(std::move(enumerator), style, pattern, limits)) {
    try {
        thread_ = std::thread(&BackgroundWalk::walk, this, readAhead_, style, folder, pattern);
    } catch (const std::system_error&) {
        // No thread to be had: the walk runs here, the window waiting, and still lists it all.
        walk(readAhead_, style, std::move(folder), std::move(pattern));
    }
}

BackgroundWalk::~BackgroundWalk() {
    stop();
}

void BackgroundWalk::walk(std::shared_ptr<fs::DirectoryEnumerator> enumerator, fs::PathStyle style,
                          QString folder, QString pattern) {
    try {
        FolderWalk(*enumerator, style).run(folder, pattern, *this);
    } catch (...) {
        // Out of memory partway: the rows made so far stand, as for a folder that failed.
    }
    readAhead_->stop();
    handOver(true);
    emit ended();
}

void BackgroundWalk::enterFolder(const QString& folder) {
    walking_ = folder;
    handOver();
}

bool BackgroundWalk::addRow(FoundFile&& row) {
    batch_.push_back(std::move(row));
    return true;
}

bool BackgroundWalk::yield() {
    if (++sinceHandOver_ >= kEntriesPerHandOver) handOver();
    return !stop_.load(std::memory_order_relaxed);
}

void BackgroundWalk::handOver(bool last) {
    sinceHandOver_ = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [this] { return !held_ || stop_.load(); });
    if (ready_.empty())
        ready_.swap(batch_);
    else
        ready_.insert(ready_.end(), std::make_move_iterator(batch_.begin()),
                      std::make_move_iterator(batch_.end()));
    batch_.clear();
    folder_ = walking_;
    if (last) ended_ = true;
}

BackgroundWalk::Progress BackgroundWalk::take() {
    Progress progress;
    const std::lock_guard<std::mutex> lock(mutex_);
    progress.rows.swap(ready_);
    progress.folder = folder_;
    progress.ended = ended_;
    return progress;
}

void BackgroundWalk::hold(bool held) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (held_ == held) return;
        held_ = held;
    }
    released_.notify_all();
}

void BackgroundWalk::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_.store(true);
    }
    released_.notify_all();
    readAhead_->stop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace korvid::search
