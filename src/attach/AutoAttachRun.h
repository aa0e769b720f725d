#pragma once
// Auto attach: every found file from the selected row to the last, one file per turn of the
// event loop, so the window stays live between files. Stops at the first file that fails.

#include <QObject>
#include <QString>

#include "access/Prompts.h"

namespace korvid {
class ModalMoments;
}

namespace korvid::attach {

// What the run needs of the window, the result table and the server.
class AutoAttachSteps {
public:
    virtual ~AutoAttachSteps() = default;
    virtual int rowCount() const = 0;
    virtual int selectedIndex() const = 0;
    virtual bool selectRow(int index) = 0;  // -1 clears; false when there is no such row
    virtual QString selectedPath() const = 0;
    virtual bool fileExists(const QString& path) const = 0;
    virtual bool prepareTarget() = 0;           // false: the target folder is not there
    virtual void inspectAndAttach() = 0;        // the selected row inspected and attached; throws
    virtual void setRunning(bool running) = 0;  // the buttons hidden while it runs
    virtual void restoreTotals() = 0;
    virtual void repaint() = 0;
    virtual void message(const QString& text, MsgIcon icon, const QString& title,
                         const QString& detail) = 0;
};

class AutoAttachRun : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Completed, Failed, NothingToAttach, InvalidTarget, PreparationFailed };
    Q_ENUM(Outcome)

    // While a moment of the gate is open, the run holds still between files.
    AutoAttachRun(AutoAttachSteps& steps, ModalMoments& moments, QObject* parent = nullptr);

    // Starts the run; it goes on from the event loop. False when one is already running.
    bool start();
    bool isRunning() const { return running_; }

signals:
    // Emitted once per start, after the run's last message box has been closed.
    void finished(korvid::attach::AutoAttachRun::Outcome outcome);

private:
    void processSelected();
    void next();
    void complete();
    void fail(const QString& reason);
    void finish(Outcome outcome);

    AutoAttachSteps& steps_;
    ModalMoments& moments_;
    bool running_ = false;
    bool waiting_ = false;  // for the open modal moments to close
    int index_ = 0;
    int last_ = -1;
};

}  // namespace korvid::attach
