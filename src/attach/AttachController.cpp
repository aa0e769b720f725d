#include "attach/AttachController.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
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
#include "attach/AttachedFiles.h"
#include "attach/MissingFolders.h"
#include "attach/OutcomeTexts.h"
#include "search/ResultTable.h"
#include "search/SearchController.h"

namespace korvid::attach {

namespace {

// A run against a quick server takes hundreds of files a second; painting the window for each
// (the list scrolled, the database list reloaded, the progress text) cost more than all else
// Korvid does for a file. Twenty-five paints a second show the same progress.
constexpr int kPaintIntervalMs = 40;

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

    // A row taken out during a run: the run goes on over the rows that are left.
    connect(&table(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { run_->rowsRemoved(first, last); });
    // What the search found is marked at once with what is attached already.
    connect(&search_, &search::SearchController::searchFinished, this, [this] {
        if (c_.window->isVisible()) markAttachedFiles();
    });

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
    if (attachRecord(inspector_.record(), table().selectedIndex())) c_.databaseList->refresh();
}

bool AttachController::attachRecord(const InspectionRecord& r, int row) {
    // Painted when the window next gets its turn, as the run yields.
    c_.progressLabel->setText(progressText(row, table().count(), r.databaseName));
    if (r.databaseName.isEmpty() && r.dataPath.isEmpty() && r.logPath.isEmpty()) return false;
    access_.execute(
        ConnectionShape::server(),
        attachWithLogStatement(r.databaseName, r.dataPath, r.logPath, furtherPathsToName(r)));
    return true;
}

void AttachController::markAttachedFiles() {
    search::ResultTable& rows = table();
    if (rows.count() == 0) return;
    AttachedFiles attached;
    try {
        attached =
            AttachedFiles::read(access_.read(ConnectionShape::server(), &AttachedFiles::statement));
    } catch (const std::exception&) {
        return;  // the marks are a help: without the server's list the rows stay as they are
    }
    for (int i = 0; i < rows.count(); ++i) {
        const QString database = attached.databaseOf(rows.fullPath(i));
        const search::RowMark mark = rows.mark(i);
        if (!database.isEmpty()) {
            // A row this run's predecessor attached keeps saying so.
            if (mark != search::RowMark::Attached)
                rows.setMark(i, search::RowMark::AttachedBefore, attachedBeforeText(database));
        } else if (mark == search::RowMark::AttachedBefore || mark == search::RowMark::Attached) {
            rows.setMark(i, search::RowMark::None, QString());  // detached since
        }
    }
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
    // What is attached now is passed over; the server may have changed since the search.
    markAttachedFiles();
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

bool AttachController::attachedAlready(int row) const {
    const search::RowMark mark = table().mark(row);
    return mark == search::RowMark::AttachedBefore || mark == search::RowMark::Attached;
}

QString AttachController::inspectAndAttach(int row) {
    // A statement at a time, the window taking its input in between. The run attaches from a
    // copy of its own: an attach from the popup meanwhile reads another file into the record.
    const InspectedFile file = selectedFile();
    inspector_.readDatabaseName(file);
    const QString database = inspector_.record().databaseName;
    serveInput();
    inspector_.readLogPath(file);
    InspectionRecord record = inspector_.record();
    record.databaseName = database;
    serveInput();
    bool attached = false;
    try {
        attached = attachRecord(record, row);
    } catch (const db::DbError& e) {
        // The box's details say what the server could not: which files were not named, and
        // where a file too old for this server can be upgraded.
        const QStringList notes = attachFailureNotes(e, record);
        if (notes.isEmpty()) throw;
        throw AttachFailure(e, notes);
    }
    if (attached) {
        serveInput();
        c_.databaseList->refresh();
    }
    return database;
}

void AttachController::mark(int row, search::RowMark mark, const QString& text) {
    table().setMark(row, mark, text);
}

void AttachController::serveInput() {
    // The event loop's own turn would not do: a wait's loop, which leaves input waiting, passes
    // its flags on to the rest of the turn it ran in, so input that came meanwhile would wait
    // for the run's end. A turn of its own takes it.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void AttachController::setRunning(bool running) {
    if (running) {
        c_.commandFrame->hide();
        c_.window->unsetCursor();
        c_.window->repaint();
        sincePaint_.start();
        c_.window->installEventFilter(this);
    } else {
        c_.window->removeEventFilter(this);
        table().list().setVisible(true);
        c_.commandFrame->show();
    }
}

bool AttachController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != c_.window || event->type() != QEvent::UpdateRequest) return false;
    const qint64 since = sincePaint_.elapsed();
    if (since >= kPaintIntervalMs) {
        sincePaint_.start();
        return false;
    }
    // What changed meanwhile stays marked for the paint; one request brings it.
    if (!paintDeferred_) {
        paintDeferred_ = true;
        QTimer::singleShot(int(kPaintIntervalMs - since), this, [this] {
            paintDeferred_ = false;
            QCoreApplication::postEvent(c_.window, new QEvent(QEvent::UpdateRequest),
                                        Qt::LowEventPriority);
        });
    }
    return true;
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
