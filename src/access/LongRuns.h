#pragma once
// The two long loops, the folder walk and auto attach, let the window work between their steps;
// while one runs, neither may start again. Both subsystems share one guard.

#include <QObject>

namespace korvid {

class LongRuns : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // False when a long run is going on already; the caller then refuses quietly.
    bool begin();
    void end();
    bool active() const { return active_; }

signals:
    void begun();

private:
    bool active_ = false;
};

}  // namespace korvid
