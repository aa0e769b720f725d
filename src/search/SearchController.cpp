#include "search/SearchController.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <iterator>

#include "access/LongRuns.h"
#include "access/ModalMoments.h"
#include "access/Prompts.h"
#include "fs/Files.h"
#include "fs/Roots.h"
#include "search/BackgroundWalk.h"
#include "search/FolderList.h"

namespace korvid::search {

namespace {

constexpr int kSearchLimit = 32736;
// How often the window takes the walk's rows while it runs: often enough that rows and the
// folder being walked are seen at once, seldom enough that adding rows and painting them costs
// the window little. The end is taken as soon as the walk reaches it.
constexpr int kTakeIntervalMs = 25;
// Rows that would land below what the list shows are added less often: adding rows repaints
// the list, and they are out of sight anyway.
constexpr int kShowBelowSightMs = 250;
// Rows added to the table in one turn of the event loop, at most.
constexpr size_t kRowsPerTurn = 20000;

QString escapeMnemonic(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

SearchController::SearchController(const SearchControls& controls, Prompts& prompts, LongRuns& runs,
                                   ModalMoments& moments,
                                   std::shared_ptr<fs::DirectoryEnumerator> enumerator,
                                   fs::PathStyle style)
    : QObject(controls.window),
      c_(controls),
      prompts_(prompts),
      runs_(&runs),
      moments_(moments),
      enumerator_(enumerator ? std::move(enumerator) : fs::makeNativeEnumerator()),
      style_(style) {
    table_ = new ResultTable(*c_.resultList, style_, this);
    takeTimer_ = new QTimer(this);
    takeTimer_->setInterval(kTakeIntervalMs);
    connect(takeTimer_, &QTimer::timeout, this, &SearchController::takeProgress);
    // The rows held back while a box or menu was open are shown as soon as it closes.
    connect(&moments_, &ModalMoments::allClosed, this, [this] {
        if (walk_) takeProgress();
    });
    resultListViewport_ = c_.resultList->viewport();
    c_.resultList->viewport()->installEventFilter(this);
    folderList_ = new FolderList(*c_.folderView, style_, this);
    c_.window->installEventFilter(this);

    refreshRoots();

    // The platform's current folder is where the lists start.
    folderList_->setPath(QDir::toNativeSeparators(QDir::currentPath()));
    {
        const QSignalBlocker blocker(c_.driveBox);
        c_.driveBox->setCurrentIndex(rootIndexOf(folderList_->path()));
    }

    connect(folderList_, &FolderList::pathChanged, this, &SearchController::folderChange);
    connect(c_.driveBox, &QComboBox::currentIndexChanged, this, &SearchController::driveChange);
    c_.driveBox->installEventFilter(this);
    connect(c_.patternBox, &QLineEdit::textChanged, this, &SearchController::patternChange);
    c_.patternBox->installEventFilter(this);
    connect(c_.searchButton, &QPushButton::clicked, this, &SearchController::search);
}

SearchController::~SearchController() {
    // The walk's thread ends before anything it was given goes; the run ends with the window.
    if (walk_) {
        walk_.reset();
        if (runs_) runs_->end();
    }
}

void SearchController::refreshRoots() {
    QStringList paths, labels;
    for (const fs::Root& root : fs::driveRoots()) {
        paths.append(root.path);
        labels.append(root.label);
    }
    if (paths != rootPaths_) setRoots(paths, labels);
}

void SearchController::setRoots(const QStringList& paths, const QStringList& labels) {
    rootPaths_ = paths;
    const QSignalBlocker blocker(c_.driveBox);
    c_.driveBox->clear();
    for (int i = 0; i < paths.size(); ++i)
        c_.driveBox->addItem(labels.value(i, paths.at(i)), paths.at(i));
    c_.driveBox->setCurrentIndex(rootIndexOf(folderList_->path()));
}

int SearchController::rootIndexOf(const QString& path) const {
    return int(rootPaths_.indexOf(fs::rootOf(path, rootPaths_, style_)));
}

QString SearchController::totalsText() const {
    return search::totalsText(table_->count(), totalSize_);
}

void SearchController::startUp() {
    c_.patternBox->setText(QStringLiteral("*.MDF"));
    searchFolder_ = fs::normaliseFolder(folderList_->path(), style_);
    c_.searchFrame->setTitle(QStringLiteral("搜索: "));
}

void SearchController::captionRule() {
    c_.searchFrame->setTitle(QStringLiteral("搜索: ") + searchFolder_ + c_.patternBox->text());
}

void SearchController::folderChange() {
    searchFolder_ = fs::normaliseFolder(folderList_->path(), style_);
    const QString root = fs::rootOf(folderList_->path(), rootPaths_, style_);
    if (!root.isEmpty()) lastFolderOfRoot_.insert(root, folderList_->path());
    captionRule();
}

void SearchController::driveChange() {
    if (c_.driveBox->currentIndex() < 0) return;
    // Setting the drive back after a failure is itself a drive change; two levels are enough.
    if (driveChangeDepth_ >= 2) return;
    ++driveChangeDepth_;
    const QString root = c_.driveBox->currentData().toString();
    const QString value = c_.driveBox->currentText();
    c_.patternBox->setFocus();
    if (fs::folderReadable(root)) {
        // A drive opens at its current folder: the one last open on it, while it is there.
        const QString last = lastFolderOfRoot_.value(root);
        if ((!last.isEmpty() && folderList_->setPath(last)) || folderList_->setPath(root))
            captionRule();
        else
            prompts_.message(QStringLiteral("\r应用程序错误。"), MsgIcon::Critical);
    } else {
        prompts_.message(QStringLiteral("\r无法访问驱动器 ") + fs::driveMark(value, style_) +
                             QStringLiteral("：  "),
                         MsgIcon::Critical);
        const int back = rootIndexOf(folderList_->path());
        if (back >= 0) c_.driveBox->setCurrentIndex(back);
    }
    --driveChangeDepth_;
}

void SearchController::patternChange() {
    c_.searchButton->setEnabled(!c_.patternBox->text().isEmpty());
    captionRule();
}

void SearchController::search() {
    // Inside a running search or attach run the search is refused; that run goes on untouched.
    if (searching_ || !runs_ || !runs_->begin()) return;
    if (table_->count() >= kSearchLimit) {
        // The run ends when the box has closed, also when the window went away meanwhile.
        const QPointer<LongRuns> runs = runs_;
        prompts_.message(QStringLiteral("\r搜索的文件总数不能超过32726！ "), MsgIcon::Critical);
        if (runs) runs->end();
        return;
    }
    searching_ = true;
    stopRequested_ = false;
    c_.window->repaint();
    c_.commandFrame->hide();
    table_->clear();
    totalSize_ = 0;
    c_.window->repaint();
    c_.patternBox->setFocus();

    // The walk works on its own copies: a change of folder or pattern meanwhile is for the next
    // search.
    const QString folder = searchFolder_;
    const QString pattern = c_.patternBox->text();
    showProgress(folder);
    sinceShown_.start();
    walk_ = std::make_unique<BackgroundWalk>(enumerator_, style_, folder, pattern);
    connect(walk_.get(), &BackgroundWalk::ended, this, &SearchController::takeProgress,
            Qt::QueuedConnection);
    takeTimer_->start();
}

void SearchController::showProgress(const QString& folder) {
    QLabel* label = c_.progressLabel;
    label->setText(QStringLiteral("正在搜索：") + folder);
    // The window fits Label3 to its text on the layout request the new text posts; that runs
    // first, so the forced paint shows the text whole.
    QCoreApplication::sendPostedEvents(label->parentWidget(), QEvent::LayoutRequest);
    label->repaint();
}

void SearchController::takeProgress() {
    if (!walk_) return;
    if (stopRequested_ && !c_.window->isVisible()) {
        endSearch(false);  // the window was closed: nothing left to show
        return;
    }
    // What the person looks at does not change under an open box or menu; the walk waits.
    const bool held = moments_.isOpen();
    walk_->hold(held);
    if (held) return;
    BackgroundWalk::Progress progress = walk_->take();
    if (!progress.rows.empty()) unshown_.push_back(std::move(progress.rows));
    walkEnded_ = walkEnded_ || progress.ended;
    if (!unshown_.empty() && (walkEnded_ || unshownFrom_ > 0 || listHasRoom() ||
                              sinceShown_.hasExpired(kShowBelowSightMs))) {
        if (!showSomeRows()) {
            // More than one turn's worth: the rest on the next turns, the window working between.
            QMetaObject::invokeMethod(this, &SearchController::takeProgress, Qt::QueuedConnection);
            return;
        }
    }
    if (walkEnded_) {
        endSearch(true);
        return;
    }
    if (progress.folder != shownFolder_) {
        shownFolder_ = progress.folder;
        c_.progressLabel->setText(QStringLiteral("正在搜索：") + shownFolder_);
    }
}

bool SearchController::listHasRoom() const {
    // Room below the last row: rows added now are seen at once.
    const QWidget* viewport = c_.resultList->viewport();
    return !c_.resultList->indexAt(QPoint(1, viewport->height() - 1)).isValid();
}

bool SearchController::showSomeRows() {
    size_t room = kRowsPerTurn;
    while (room > 0 && !unshown_.empty()) {
        std::vector<FoundFile>& batch = unshown_.front();
        const size_t count = std::min(batch.size() - unshownFrom_, room);
        std::vector<FoundFile> rows;
        if (count == batch.size()) {
            rows.swap(batch);  // the whole batch: no row moves
        } else {
            const auto from = batch.begin() + qsizetype(unshownFrom_);
            rows.assign(std::make_move_iterator(from),
                        std::make_move_iterator(from + qsizetype(count)));
        }
        for (const FoundFile& row : rows) totalSize_ += row.size;
        table_->append(std::move(rows));
        room -= count;
        unshownFrom_ += count;
        if (unshownFrom_ < batch.size()) break;
        unshown_.pop_front();
        unshownFrom_ = 0;
    }
    if (!unshown_.empty()) return false;
    sinceShown_.start();
    return true;
}

void SearchController::endSearch(bool completed) {
    takeTimer_->stop();
    walk_.reset();
    unshown_.clear();
    unshownFrom_ = 0;
    walkEnded_ = false;
    shownFolder_.clear();
    searching_ = false;
    if (completed) {
        c_.progressLabel->setText(totalsText());
        c_.commandFrame->show();
        c_.resultList->show();
    }
    if (runs_) runs_->end();
    emit searchFinished();
}

void SearchController::popup(const QPoint& at) {
    const bool selected = !table_->selectedFullPath().isEmpty();
    for (QAction* action : {c_.attachOneAction, c_.attachAllAction, c_.attachWithoutLogAction})
        action->setEnabled(selected);
    // A file name may hold "&", which a menu would take for a shortcut mark.
    const QString name = escapeMnemonic(table_->selectedFileName());
    c_.attachOneAction->setText(QStringLiteral("附加：") + name);
    c_.attachWithoutLogAction->setText(QStringLiteral("无LDF附加：") + name);
    prompts_.popup(*c_.attachMenu, at);
}

bool SearchController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.window) {
        if (event->type() == QEvent::Close) stopRequested_ = true;
        return false;
    }
    if (watched == c_.driveBox) {
        // A medium put in or a file system mounted since: the list is read again as it opens.
        if (event->type() == QEvent::MouseButtonPress) refreshRoots();
        return false;
    }
    if (watched == c_.patternBox) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && c_.searchButton->isEnabled())
                search();
        }
        return false;  // the key goes on to the box in every case
    }
    // Compared by address: while the window goes, List3 may be half gone before this.
    if (watched == resultListViewport_) return listEvent(event);
    return false;
}

bool SearchController::listEvent(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
        // The list box's own right-button handling is left out: the menu names the row that is
        // selected now.
        popup(mouse->globalPosition().toPoint());
        return true;
    }
    if (mouse->button() != Qt::LeftButton) return false;
    if (type == QEvent::MouseButtonDblClick) {
        table_->removeSelected();
        return true;
    }
    // A click below the last row keeps the selection, as a list box does.
    return !c_.resultList->indexAt(mouse->position().toPoint()).isValid();
}

}  // namespace korvid::search
