#pragma once
// The attach operations of the result list: attach with log (FjDG), attach without log (WLDF)
// and auto attach (Command5, Fjqb), with the inspection of the selected file before each.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <optional>

#include "attach/AttachControls.h"
#include "attach/AutoAttachRun.h"
#include "attach/Inspector.h"

namespace korvid {
class LongRuns;
class ModalMoments;
class Prompts;
class QuerySource;
class ServerAccess;
namespace search {
class ResultTable;
class SearchController;
}  // namespace search
}  // namespace korvid

namespace korvid::attach {

class AttachController : public QObject, private AutoAttachSteps {
    Q_OBJECT
public:
    // Every control of the set must be there. The result table and its totals are the search's.
    AttachController(const AttachControls& controls, search::SearchController& search,
                     const ServerAccess& access, Prompts& prompts, LongRuns& runs,
                     ModalMoments& moments);
    ~AttachController() override;

    // Text2..Text7 and the source of the inspection (Adodc2).
    const InspectionRecord& inspection() const { return inspector_.record(); }
    QuerySource& inspectionSource() const { return *inspectionSource_; }
    bool isRunning() const { return run_->isRunning(); }

    void attachSelected();    // FjDG: silent on failure
    void attachWithoutLog();  // WLDF: silent on failure
    void attachAll();         // Command5 and Fjqb

    // The attach step of one inspected file: progress text, sp_attach_db, database list reload.
    void attachInspected();  // proc3

    // Marks the found files that are attached to this server already ("已附加"), after every
    // search and as a run begins; the server's file list decides. Quiet when it cannot be read.
    void markAttachedFiles();

signals:
    void runFinished(korvid::attach::AutoAttachRun::Outcome outcome);

protected:
    // During a run: the window's paints, at most one per kPaintIntervalMs.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    search::ResultTable& table() const;
    InspectedFile selectedFile() const;
    // The row the open popup named, else the selected one.
    InspectedFile chosenFile() const;
    // proc3's progress text and sp_attach_db for the record, the row counted from 0; false when
    // there was nothing to attach.
    bool attachRecord(const InspectionRecord& record, int row);

    // AutoAttachSteps
    int rowCount() const override;
    int selectedIndex() const override;
    bool selectRow(int index) override;
    QString selectedPath() const override;
    bool fileExists(const QString& path) const override;
    bool attachedAlready(int row) const override;
    bool prepareTarget() override;
    QString inspectAndAttach(int row) override;
    void mark(int row, search::RowMark mark, const QString& text) override;
    void serveInput() override;
    void setRunning(bool running) override;
    void restoreTotals() override;
    void repaint() override;
    void message(const QString& text, MsgIcon icon, const QString& title,
                 const QString& detail) override;

    AttachControls c_;
    std::optional<InspectedFile> menuRow_;  // the row the open popup names
    search::SearchController& search_;
    const ServerAccess& access_;
    Prompts& prompts_;
    LongRuns& runs_;
    QuerySource* inspectionSource_;
    Inspector inspector_;
    AutoAttachRun* run_;
    QElapsedTimer sincePaint_;
    bool paintDeferred_ = false;
};

}  // namespace korvid::attach
