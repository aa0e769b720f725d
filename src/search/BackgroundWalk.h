#pragma once
// The folder walk on a thread of its own, so the window stays free while it runs. The walk
// hands its rows over in batches; the window takes them, with the folder being walked, when it
// has time. The window can hold the walk (while a message box or popup menu is open) and stop
// it; the walk works only on its own copies of the folder and pattern and on this object, which
// waits for the thread before it goes.

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "fs/FolderReader.h"
#include "fs/PathRules.h"
#include "search/FolderWalk.h"
#include "search/ReadAhead.h"

namespace korvid::search {

class BackgroundWalk final : public QObject, private WalkSink {
    Q_OBJECT
public:
    // Starts walking folder for files matching pattern at once, reading ahead within limits.
    BackgroundWalk(std::shared_ptr<fs::DirectoryEnumerator> enumerator, fs::PathStyle style,
                   QString folder, QString pattern, ReadAhead::Limits limits = {});
    // Stops the walk and waits for its thread.
    ~BackgroundWalk() override;
    BackgroundWalk(const BackgroundWalk&) = delete;
    BackgroundWalk& operator=(const BackgroundWalk&) = delete;

    struct Progress {
        std::vector<FoundFile> rows;  // made since the last take, in order
        QString folder;               // the folder being walked
        bool ended = false;           // the walk is over and every row has been taken
    };
    Progress take();

    // While held the walk waits before its next batch; nothing it made is lost.
    void hold(bool held);
    // Tells the walk to stop and waits for its thread to end. The rows not taken are dropped.
    void stop();
    bool running() const { return thread_.joinable(); }

signals:
    // Emitted on the walk's thread when its last rows are ready to take: connect it queued.
    void ended();

private:
    void walk(std::shared_ptr<fs::DirectoryEnumerator> enumerator, fs::PathStyle style,
              QString folder, QString pattern);
    // The walk's side, on its thread.
    void enterFolder(const QString& folder) override;
    bool addRow(FoundFile&& row) override;
    bool yield() override;
    void handOver(bool last = false);

    // The walk's thread only: the batch being made, entries since the last hand-over.
    std::vector<FoundFile> batch_;
    QString walking_;
    unsigned sinceHandOver_ = 0;

    // Shared, under mutex_.
    std::mutex mutex_;
    std::condition_variable released_;
    std::vector<FoundFile> ready_;
    QString folder_;
    bool ended_ = false;
    bool held_ = false;

    std::atomic<bool> stop_{false};
    // The walk's folders are read ahead of it; stopped with the walk.
    std::shared_ptr<ReadAhead> readAhead_;
    std::thread thread_;
};

}  // namespace korvid::search
