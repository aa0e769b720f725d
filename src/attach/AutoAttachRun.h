#pragma once
// Auto attach: every found file from the selected row to the last, one file per turn of the
// event loop, so the window stays live between files. Stops at the first file that fails. Each
// row it passes is marked with what became of its file; a file attached to this server already
// is passed like one that has gone.

#include <QObject>
#include <QString>

#include "access/Prompts.h"
#include "search/RowMark.h"

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
    virtual bool attachedAlready(int row) const = 0;  // marked so when the run began
    virtual bool prepareTarget() = 0;                 // false: the target folder is not there
    // The selected row, which is row, inspected and attached; gives the database's name. The
    // window takes its input between the statements. Throws.
    virtual QString inspectAndAttach(int row) = 0;
    virtual void mark(int row, search::RowMark mark, const QString& text) = 0;
    // The run's yield: the window takes every input that arrived (a click, a key, a popup).
    virtual void serveInput() = 0;
    virtual void setRunning(bool running) = 0;  // the buttons hidden while it runs
    virtual void restoreTotals() = 0;
    virtual void repaint() = 0;  // the whole window, as the run begins
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

    // Rows taken out of the table during the run (the double click): the run goes on over the
    // rows that are left, none skipped and none past the end.
    void rowsRemoved(int first, int last);

signals:
    // Emitted once per start, after the run's last message box has been closed.
    void finished(korvid::attach::AutoAttachRun::Outcome outcome);

private:
    void processSelected();
    void markCurrent(search::RowMark mark, const QString& text);
    void next();
    void complete();
    void fail(const QString& path, const QString& reason);
    void finish(Outcome outcome);

    AutoAttachSteps& steps_;
    ModalMoments& moments_;
    bool running_ = false;
    bool waiting_ = false;  // for the open modal moments to close
    int index_ = 0;
    int last_ = -1;
    QString currentPath_;       // the file of the row being processed
    bool currentGone_ = false;  // its row was taken out meanwhile
};

}  // namespace korvid::attach
