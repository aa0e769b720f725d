#pragma once
// What the benchmarks measure alike: medians and spreads over rounds, the machine's load, the
// process's processor time, and the largest gap between the event loop's turns.

#include <time.h>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace bench {

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "median (min-max)" of a figure over the rounds.
inline QByteArray spread(const std::vector<double>& values, const char* format) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QString::asprintf("%s (%s-%s)",
                             QString::asprintf(format, median(values)).toUtf8().data(),
                             QString::asprintf(format, *low).toUtf8().data(),
                             QString::asprintf(format, *high).toUtf8().data())
        .toUtf8();
}

// The line of /proc/loadavg.
inline QByteArray loadAverage() {
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (!loadavg.open(QIODevice::ReadOnly)) return "unknown";
    return loadavg.readLine().trimmed();
}

// Processor seconds of this process, all its threads.
inline double cpuOfProcess() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// The largest gap between two turns of the event loop while it runs, seen by a timer that ticks
// every 5 ms; the stretch from the last tick to stop() counts too.
class GapClock {
public:
    GapClock() {
        ticker_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        sinceTick_.start();
        ticker_.start(5);
    }
    void stop() {
        tick();
        ticker_.stop();
    }
    double largestMs() const { return largestMs_; }

private:
    void tick() {
        largestMs_ = std::max(largestMs_, sinceTick_.nsecsElapsed() / 1e6);
        sinceTick_.restart();
    }

    QTimer ticker_;
    QElapsedTimer sinceTick_;
    double largestMs_ = 0;
};

}  // namespace bench
