#include "attach/AttachController.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include "attach/AttachTexts.h"
#include "attach/Mdir.h"
#include "login/ConnectionStrings.h"
#include "login/Credentials.h"
#include "login/QuerySource.h"
#include "login/SqlAccess.h"
#include "search/ResultTable.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

namespace korvid::attach {

namespace {

QAction* findAction(MainWindow& window, const QString& name) {
    if (QMenu* menu = window.fileMenu())
        for (QAction* a : menu->actions())
            if (a->objectName() == name) return a;
    return window.findChild<QAction*>(name);
}

// The folder the run checks before it starts: it must exist and hold entries.
QString targetFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QStringLiteral("/");
#endif
}

}  // namespace

AttachController::AttachController(MainWindow& window)
    : QObject(&window),
      window_(window),
      adodc2_(new QuerySource(this)),
      inspector_(window.credentials(), *adodc2_),
      run_(new AutoAttachRun(*this, this)) {
    setObjectName(QStringLiteral("AttachController"));
    adodc2_->setObjectName(QStringLiteral("Adodc2"));
    label3_ = window.findChild<QLabel*>(QStringLiteral("Label3"));
    list3_ = window.findChild<QListWidget*>(QStringLiteral("List3"));
    fm_ = window.findChild<QWidget*>(QStringLiteral("fm"));

    if (auto* command5 = window.findChild<QPushButton*>(QStringLiteral("Command5")))
        connect(command5, &QPushButton::clicked, this, &AttachController::attachAll);
    if (QAction* a = findAction(window, QStringLiteral("FjDG")))
        connect(a, &QAction::triggered, this, &AttachController::attachSelected);
    if (QAction* a = findAction(window, QStringLiteral("Fjqb")))
        connect(a, &QAction::triggered, this, &AttachController::attachAll);
    if (QAction* a = findAction(window, QStringLiteral("WLDF")))
        connect(a, &QAction::triggered, this, &AttachController::attachWithoutLog);

    connect(run_, &AutoAttachRun::finished, this, [this](AutoAttachRun::Outcome outcome) {
        window_.endLongRun();
        emit runFinished(outcome);
    });
}

AttachController::~AttachController() = default;

search::SearchController* AttachController::search() const {
    return window_.findChild<search::SearchController*>();
}

search::ResultTable* AttachController::table() const {
    search::SearchController* s = search();
    return s ? &s->table() : nullptr;
}

InspectedFile AttachController::selectedFile() const {
    search::ResultTable* t = table();
    if (!t) return {};
    return {t->selectedFullPath(), t->selectedFolder()};
}

void AttachController::proc3() {
    const InspectionRecord& r = inspector_.record();
    search::ResultTable* t = table();
    if (label3_ && t) {
        // Painted when the window next gets its turn, between files, as the run yields.
        label3_->setText(progressText(t->selectedIndex(), t->count(), r.databaseName));
    }
    if (r.databaseName.isEmpty() && r.dataPath.isEmpty() && r.logPath.isEmpty()) return;
    const Credentials& login = window_.credentials();
    executeStatement(connectionShapeB(login.serverName(), login.password()),
                     attachWithLogStatement(r.databaseName, r.dataPath, r.logPath));
    window_.databaseList()->refresh();
}

void AttachController::attachSelected() {
    if (!table()) return;
    try {
        const InspectedFile file = selectedFile();
        inspector_.readDatabaseName(file);
        inspector_.proc4(file);
        proc3();
    } catch (const std::exception&) {
        // The popup's attach stops quietly; the inspection record keeps what it got.
    }
}

void AttachController::attachWithoutLog() {
    if (!table()) return;
    try {
        inspector_.proc2(selectedFile());
        const InspectionRecord& r = inspector_.record();
        if (!r.databaseName.isEmpty() && !r.dataPath.isEmpty()) {
            const Credentials& login = window_.credentials();
            executeStatement(connectionShapeB(login.serverName(), login.password()),
                             attachSingleFileStatement(r.databaseName, r.dataPath));
            Messages::show(singleFileDoneText(r.databaseName), MsgIcon::Information,
                           QString::fromUtf16(kSingleFileDoneTitle));
        } else {
            Messages::show(noDataFilePathText(), MsgIcon::Critical,
                           QString::fromUtf16(kNoDataFilePathTitle));
        }
        window_.databaseList()->refresh();
    } catch (const std::exception&) {
        // Silent, as the popup's attach.
    }
}

void AttachController::attachAll() {
    if (!table() || run_->isRunning()) return;
    // Not inside a running search, nor a second run from the popup during this one.
    if (!window_.beginLongRun()) return;
    run_->start();
}

int AttachController::rowCount() const {
    return table() ? table()->count() : 0;
}

int AttachController::selectedIndex() const {
    return table() ? table()->selectedIndex() : -1;
}

bool AttachController::selectRow(int index) {
    search::ResultTable* t = table();
    if (!t) return false;
    if (index < 0) {
        t->select(-1);
        return true;
    }
    return t->select(index);
}

QString AttachController::selectedPath() const {
    return table() ? table()->selectedFullPath() : QString();
}

bool AttachController::fileExists(const QString& path) const {
    return plainFileExists(path);
}

bool AttachController::prepareTarget() {
    const QString target = targetFolder();
    mdir(target);
    return !QDir(target)
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .isEmpty();
}

void AttachController::inspectAndAttach() {
    inspector_.proc2(selectedFile());
    proc3();
}

void AttachController::setRunning(bool running) {
    if (running) {
        if (fm_) fm_->hide();
        window_.unsetCursor();
        window_.repaint();
    } else {
        if (list3_) list3_->setVisible(true);
        if (fm_) fm_->show();
    }
}

void AttachController::restoreTotals() {
    if (label3_ && search()) label3_->setText(search()->totalsText());
}

void AttachController::repaint() {
    window_.update();
}

void AttachController::message(const QString& text, MsgIcon icon, const QString& title,
                               const QString& detail) {
    Messages::show(text, icon, title, detail);
}

}  // namespace korvid::attach
