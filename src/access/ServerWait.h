#pragma once
// Waiting for the server without holding the window hostage: the call runs on a thread of its
// own while the window's thread turns a loop of its own. The windows keep painting, the mouse
// pointer shows that Korvid waits, the person's input waits until the call is done, and closing
// a window still ends the program at once. The wait is a modal moment: the long runs hold still.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace korvid {

// Runs job and returns when it has ended, rethrowing what it threw. With a limit above 0, a job
// still running after that many seconds is left to end on its own thread and the wait throws
// db::DbError (HYT00). Without an application, or off the window's thread, job runs in place.
// The job must own everything it touches: it may outlive the wait.
void waitOffThread(std::function<void()> job, int limitSeconds);

// The same for a job with a result.
template <typename Result>
Result waitFor(std::function<Result()> job, int limitSeconds) {
    auto result = std::make_shared<std::optional<Result>>();
    waitOffThread([result, job = std::move(job)] { result->emplace(job()); }, limitSeconds);
    return std::move(**result);
}

}  // namespace korvid
