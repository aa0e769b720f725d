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

#include "access/LongRuns.h"
#include "access/Prompts.h"
#include "fs/Files.h"
#include "fs/Roots.h"
#include "search/FolderList.h"
#include "search/FolderWalk.h"

namespace korvid::search {

namespace {

constexpr int kSearchLimit = 32736;
// The walk lets the window work at most this often: often enough to repaint and answer the
// user, seldom enough to cost next to nothing per entry.
constexpr qint64 kYieldIntervalNs = 5'000'000;

QString escapeMnemonic(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

// Fills the result table as the walk finds files and lets the window work between entries.
class SearchController::Walker : public WalkSink {
public:
    explicit Walker(SearchController& controller) : controller_(controller), self_(&controller) {
        sinceYield_.start();
    }

    void enterFolder(const QString& folder) override {
        folder_ = folder;
        if (first_) {
            first_ = false;
            showProgress();
        }
    }

    bool addRow(FoundFile&& row) override {
        controller_.table_->append(row);
        controller_.tsize_ += row.size;
        return true;
    }

    bool yield() override {
        if (sinceYield_.nsecsElapsed() < kYieldIntervalNs) return true;
        // The events processed next paint the label with the rest of the window.
        controller_.c_.label3->setText(QStringLiteral("正在搜索：") + folder_);
        QCoreApplication::processEvents();
        sinceYield_.restart();
        return alive();
    }

    // False once the controller is gone or its window was closed during a yield.
    bool alive() const {
        return self_ && !(controller_.stopRequested_ && !controller_.c_.window->isVisible());
    }

private:
    void showProgress() {
        QLabel* label = controller_.c_.label3;
        label->setText(QStringLiteral("正在搜索：") + folder_);
        // The window fits Label3 to its text on the layout request the new text posts; that
        // runs first, so the forced paint shows the text whole.
        QCoreApplication::sendPostedEvents(label->parentWidget(), QEvent::LayoutRequest);
        label->repaint();
    }

    SearchController& controller_;
    QPointer<SearchController> self_;
    QElapsedTimer sinceYield_;
    QString folder_;
    bool first_ = true;
};

SearchController::SearchController(const SearchControls& controls, Prompts& prompts, LongRuns& runs,
                                   std::shared_ptr<fs::DirectoryEnumerator> enumerator,
                                   fs::PathStyle style)
    : QObject(controls.window),
      c_(controls),
      prompts_(prompts),
      runs_(runs),
      enumerator_(enumerator ? std::move(enumerator) : fs::makeNativeEnumerator()),
      style_(style) {
    table_ = new ResultTable(*c_.list3, style_, this);
    c_.list3->viewport()->installEventFilter(this);
    folderList_ = new FolderList(*c_.dir1, style_, this);
    c_.window->installEventFilter(this);

    refreshRoots();

    // The platform's current folder is where the lists start.
    folderList_->setPath(QDir::toNativeSeparators(QDir::currentPath()));
    {
        const QSignalBlocker blocker(c_.drive);
        c_.drive->setCurrentIndex(rootIndexOf(folderList_->path()));
    }

    connect(folderList_, &FolderList::pathChanged, this, &SearchController::folderChange);
    connect(c_.drive, &QComboBox::currentIndexChanged, this, &SearchController::driveChange);
    c_.drive->installEventFilter(this);
    connect(c_.text1, &QLineEdit::textChanged, this, &SearchController::patternChange);
    c_.text1->installEventFilter(this);
    connect(c_.command1, &QPushButton::clicked, this, &SearchController::search);
}

SearchController::~SearchController() = default;

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
    const QSignalBlocker blocker(c_.drive);
    c_.drive->clear();
    for (int i = 0; i < paths.size(); ++i)
        c_.drive->addItem(labels.value(i, paths.at(i)), paths.at(i));
    c_.drive->setCurrentIndex(rootIndexOf(folderList_->path()));
}

int SearchController::rootIndexOf(const QString& path) const {
    return int(rootPaths_.indexOf(fs::rootOf(path, rootPaths_, style_)));
}

QString SearchController::totalsText() const {
    return search::totalsText(table_->count(), tsize_);
}

void SearchController::startUp() {
    c_.text1->setText(QStringLiteral("*.MDF"));
    spath_ = fs::normaliseFolder(folderList_->path(), style_);
    c_.fm1->setTitle(QStringLiteral("搜索: "));
}

void SearchController::captionRule() {
    c_.fm1->setTitle(QStringLiteral("搜索: ") + spath_ + c_.text1->text());
}

void SearchController::folderChange() {
    spath_ = fs::normaliseFolder(folderList_->path(), style_);
    const QString root = fs::rootOf(folderList_->path(), rootPaths_, style_);
    if (!root.isEmpty()) lastFolderOfRoot_.insert(root, folderList_->path());
    captionRule();
}

void SearchController::driveChange() {
    if (c_.drive->currentIndex() < 0) return;
    // Setting the drive back after a failure is itself a drive change; two levels are enough.
    if (driveChangeDepth_ >= 2) return;
    ++driveChangeDepth_;
    const QString root = c_.drive->currentData().toString();
    const QString value = c_.drive->currentText();
    c_.text1->setFocus();
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
        if (back >= 0) c_.drive->setCurrentIndex(back);
    }
    --driveChangeDepth_;
}

void SearchController::patternChange() {
    c_.command1->setEnabled(!c_.text1->text().isEmpty());
    captionRule();
}

void SearchController::search() {
    // Inside a running search or attach run the search is refused; that run goes on untouched.
    if (searching_ || !runs_.begin()) return;
    QPointer<SearchController> self(this);
    // The run ends however the search ends, also when the window went away with the controller.
    struct EndRun {
        QPointer<LongRuns> runs;
        ~EndRun() {
            if (runs) runs->end();
        }
    } endRun{&runs_};

    if (table_->count() >= kSearchLimit) {
        prompts_.message(QStringLiteral("\r搜索的文件总数不能超过32726！ "), MsgIcon::Critical);
        return;
    }
    searching_ = true;
    stopRequested_ = false;
    c_.window->repaint();
    c_.fm->hide();
    table_->clear();
    tsize_ = 0;
    c_.window->repaint();
    c_.text1->setFocus();

    // The walk works on its own copies: a change of folder or pattern meanwhile is for the next
    // search.
    const QString sdn = spath_;
    const QString ff = c_.text1->text();
    Walker walker(*this);
    const std::shared_ptr<fs::DirectoryEnumerator> enumerator = enumerator_;
    FolderWalk walk(*enumerator, style_);
    walk.run(sdn, ff, walker);
    if (!self) return;
    searching_ = false;
    if (!walker.alive()) return;  // the window was closed: nothing left to show

    c_.label3->setText(totalsText());
    c_.fm->show();
    c_.list3->show();
}

void SearchController::popup(const QPoint& at) {
    const bool selected = !table_->selectedFullPath().isEmpty();
    for (QAction* action : {c_.fjdg, c_.fjqb, c_.wldf}) action->setEnabled(selected);
    // A file name may hold "&", which a menu would take for a shortcut mark.
    const QString name = escapeMnemonic(table_->selectedFileName());
    c_.fjdg->setText(QStringLiteral("附加：") + name);
    c_.wldf->setText(QStringLiteral("无LDF附加：") + name);
    prompts_.popup(*c_.mfile, at);
}

bool SearchController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.window) {
        if (event->type() == QEvent::Close) stopRequested_ = true;
        return false;
    }
    if (watched == c_.drive) {
        // A medium put in or a file system mounted since: the list is read again as it opens.
        if (event->type() == QEvent::MouseButtonPress) refreshRoots();
        return false;
    }
    if (watched == c_.text1) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && c_.command1->isEnabled())
                search();
        }
        return false;  // the key goes on to the box in every case
    }
    if (watched == c_.list3->viewport()) return listEvent(event);
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
    return !c_.list3->indexAt(mouse->position().toPoint()).isValid();
}

}  // namespace korvid::search
