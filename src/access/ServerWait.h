#pragma once
// Waiting for the server without holding the window hostage: the call runs on a worker of its
// own while the window's thread turns a loop of its own. The windows keep painting, the mouse
// pointer shows that Korvid waits, the person's input waits until the call is done, and closing
// a window still ends the program at once. The wait is a modal moment: the long runs hold still.

#include <QThreadPool>
#include <functional>
#include <memory>
#include <optional>

namespace korvid {

class ModalMoments;

class ServerWait {
public:
    explicit ServerWait(ModalMoments& moments);
    // Waits for every job handed over, also one a wait gave up on.
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

    // Runs job and returns when it has ended, rethrowing what it threw. With a limit above 0, a
    // job still running after that many seconds is left to end on its worker and the wait throws
    // db::DbError (HYT00). Without an application, or off the window's thread, job runs in place.
    // The job must own everything it touches: it may outlive the wait.
    void run(std::function<void()> job, int limitSeconds);

    // The same for a job with a result.
    template <typename Result>
    Result result(std::function<Result()> job, int limitSeconds) {
        auto result = std::make_shared<std::optional<Result>>();
        run([result, job = std::move(job)] { result->emplace(job()); }, limitSeconds);
        return std::move(**result);
    }

private:
    ModalMoments& moments_;
    // Its workers are kept for the next call: starting a thread for each costs about a
    // millisecond, every file of an auto attach making several calls.
    QThreadPool workers_;
};

}  // namespace korvid
