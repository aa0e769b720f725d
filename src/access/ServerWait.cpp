#include "access/ServerWait.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "access/ModalMoments.h"
#include "db/Connection.h"

namespace korvid {

namespace {

// A call that ends within this long needs no loop of its own: nobody sees the window pause, and
// turning the loop would only repaint it between the steps of every file of a run.
constexpr std::chrono::milliseconds kQuickCall(20);
// One worker serves the calls in turn; the others take over while a job a wait gave up on is
// still ending.
constexpr int kWorkers = 4;

// What the job and the wait share; it lives as long as either of them.
struct Shared {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool abandoned = false;  // the wait has returned: nothing may be posted to its loop
    std::exception_ptr error;
    QEventLoop* loop = nullptr;
};

struct WaitCursor {
    const bool shown = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    WaitCursor() {
        if (shown) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (shown) QGuiApplication::restoreOverrideCursor();
    }
};

[[noreturn]] void raiseTimeout(int limitSeconds) {
    db::ServerMessage m;
    m.sqlState = QStringLiteral("HYT00");
    m.text = QStringLiteral("服务器在 %1 秒内没有应答。").arg(limitSeconds);
    throw db::DbError(m, {m});
}

}  // namespace

ServerWait::ServerWait(ModalMoments& moments) : moments_(moments) {
    workers_.setExpiryTimeout(-1);
    workers_.setMaxThreadCount(kWorkers);
}

ServerWait::~ServerWait() {
    workers_.waitForDone();
}

void ServerWait::run(std::function<void()> job, int limitSeconds) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        job();
        return;
    }
    const ModalMoments::Scope moment(moments_);
    QEventLoop loop;
    auto shared = std::make_shared<Shared>();
    shared->loop = &loop;
    workers_.start([shared, job = std::move(job)] {
        std::exception_ptr error;
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->done = true;
        shared->error = error;
        shared->ended.notify_one();
        if (!shared->abandoned)
            QMetaObject::invokeMethod(shared->loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    bool timedOut = false;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    if (limitSeconds > 0) limit.start(limitSeconds * 1000);
    {
        std::unique_lock<std::mutex> lock(shared->mutex);
        if (!shared->ended.wait_for(lock, kQuickCall, [&] { return shared->done; })) {
            const WaitCursor cursor;
            // Only the job's end or the limit ends the wait.
            while (!shared->done && !timedOut) {
                lock.unlock();
                loop.exec(QEventLoop::ExcludeUserInputEvents);
                lock.lock();
            }
        }
        shared->abandoned = true;
        if (!shared->done) raiseTimeout(limitSeconds);
    }
    if (shared->error) std::rethrow_exception(shared->error);
}

}  // namespace korvid
