#pragma once
// Turns SIGTERM and SIGINT into a Qt signal on the event loop (self-pipe), so the server stops
// between two requests and never in the middle of one.

#include <QObject>

class QSocketNotifier;

namespace standin {

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;
    bool ok() const { return notifier_ != nullptr; }

signals:
    void stopRequested();

private:
    void drain();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace standin
