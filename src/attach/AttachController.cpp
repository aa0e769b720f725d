#include "attach/AttachController.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "access/LongRuns.h"
#include "access/Prompts.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "attach/AttachFailure.h"
#include "attach/AttachTexts.h"
#include "attach/MissingFolders.h"
#include "search/ResultTable.h"
#include "search/SearchController.h"

namespace korvid::attach {

namespace {

// The folder the run checks before it starts: it must exist and hold entries.
QString targetFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QStringLiteral("/");
#endif
}

}  // namespace

AttachController::AttachController(const AttachControls& controls, search::SearchController& search,
                                   const ServerAccess& access, Prompts& prompts, LongRuns& runs,
                                   ModalMoments& moments)
    : QObject(controls.window),
      c_(controls),
      search_(search),
      access_(access),
      prompts_(prompts),
      runs_(runs),
      inspectionSource_(new QuerySource(access, this)),
      inspector_(*inspectionSource_),
      run_(new AutoAttachRun(*this, moments, this)) {
    setObjectName(QStringLiteral("AttachController"));
    inspectionSource_->setObjectName(QStringLiteral("Adodc2"));

    connect(c_.autoAttachButton, &QPushButton::clicked, this, &AttachController::attachAll);
    connect(c_.attachOneAction, &QAction::triggered, this, &AttachController::attachSelected);
    connect(c_.attachAllAction, &QAction::triggered, this, &AttachController::attachAll);
    connect(c_.attachWithoutLogAction, &QAction::triggered, this,
            &AttachController::attachWithoutLog);
    // An item chosen from the popup acts on the row its caption named, whatever happens to the
    // selection meanwhile. The item runs after the menu has hidden, so the row is let go later.
    connect(c_.attachMenu, &QMenu::aboutToShow, this, [this] {
        menuRow_ = InspectedFile{table().selectedFullPath(), table().selectedFolder()};
    });
    connect(c_.attachMenu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { menuRow_.reset(); }); });

    connect(run_, &AutoAttachRun::finished, this, [this](AutoAttachRun::Outcome outcome) {
        runs_.end();
        emit runFinished(outcome);
    });
}

AttachController::~AttachController() = default;

search::ResultTable& AttachController::table() const {
    return search_.table();
}

InspectedFile AttachController::selectedFile() const {
    return {table().selectedFullPath(), table().selectedFolder()};
}

InspectedFile AttachController::chosenFile() const {
    return menuRow_ ? *menuRow_ : selectedFile();
}

void AttachController::attachInspected() {
    const InspectionRecord& r = inspector_.record();
    // Painted when the window next gets its turn, between files, as the run yields.
    c_.progressLabel->setText(
        progressText(table().selectedIndex(), table().count(), r.databaseName));
    if (r.databaseName.isEmpty() && r.dataPath.isEmpty() && r.logPath.isEmpty()) return;
    access_.execute(
        ConnectionShape::server(),
        attachWithLogStatement(r.databaseName, r.dataPath, r.logPath, furtherPathsToName(r)));
    c_.databaseList->refresh();
}

void AttachController::attachSelected() {
    try {
        const InspectedFile file = chosenFile();
        inspector_.readDatabaseName(file);
        inspector_.readLogPath(file);
        attachInspected();
    } catch (const std::exception&) {
        // The popup's attach stops quietly; the inspection record keeps what it got.
    }
}

void AttachController::attachWithoutLog() {
    try {
        inspector_.inspect(chosenFile());
        const InspectionRecord& r = inspector_.record();
        if (!r.databaseName.isEmpty() && !r.dataPath.isEmpty()) {
            access_.execute(ConnectionShape::server(),
                            attachSingleFileStatement(r.databaseName, r.dataPath));
            prompts_.message(singleFileDoneText(r.databaseName), MsgIcon::Information,
                             QString::fromUtf16(kSingleFileDoneTitle));
        } else {
            prompts_.message(noDataFilePathText(), MsgIcon::Critical,
                             QString::fromUtf16(kNoDataFilePathTitle));
        }
        c_.databaseList->refresh();
    } catch (const std::exception&) {
        // Silent, as the popup's attach.
    }
}

void AttachController::attachAll() {
    if (run_->isRunning()) return;
    // Not inside a running search, nor a second run from the popup during this one.
    if (!runs_.begin()) return;
    run_->start();
}

int AttachController::rowCount() const {
    return table().count();
}

int AttachController::selectedIndex() const {
    return table().selectedIndex();
}

bool AttachController::selectRow(int index) {
    if (index < 0) {
        table().select(-1);
        return true;
    }
    return table().select(index);
}

QString AttachController::selectedPath() const {
    return table().selectedFullPath();
}

bool AttachController::fileExists(const QString& path) const {
    return plainFileExists(path);
}

bool AttachController::prepareTarget() {
    const QString target = targetFolder();
    createMissingFolders(target);
    return !QDir(target)
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .isEmpty();
}

void AttachController::inspectAndAttach() {
    inspector_.inspect(selectedFile());
    try {
        attachInspected();
    } catch (const db::DbError& e) {
        // The box's details say what the server could not: which files were not named, and
        // where a file too old for this server can be upgraded.
        const QStringList notes = attachFailureNotes(e, inspector_.record());
        if (notes.isEmpty()) throw;
        throw AttachFailure(e, notes);
    }
}

void AttachController::setRunning(bool running) {
    if (running) {
        c_.commandFrame->hide();
        c_.window->unsetCursor();
        c_.window->repaint();
    } else {
        table().list().setVisible(true);
        c_.commandFrame->show();
    }
}

void AttachController::restoreTotals() {
    c_.progressLabel->setText(search_.totalsText());
}

void AttachController::repaint() {
    c_.window->update();
}

void AttachController::message(const QString& text, MsgIcon icon, const QString& title,
                               const QString& detail) {
    prompts_.message(text, icon, title, detail);
}

}  // namespace korvid::attach
