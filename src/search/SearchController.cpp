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
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include "fs/Files.h"
#include "fs/Roots.h"
#include "login/Messages.h"
#include "search/FolderList.h"
#include "search/FolderWalk.h"
#include "ui/MainWindow.h"

namespace korvid::search {

namespace {

constexpr int kSearchLimit = 32736;
// The walk lets the window work at most this often: often enough to repaint and answer the
// user, seldom enough to cost next to nothing per entry.
constexpr qint64 kYieldIntervalNs = 5'000'000;

template <typename T>
T* control(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget) qWarning("korvid: the main window has no control %s", name);
    return widget;
}

QString escapeMnemonic(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// The main window's own long-run guard and message boxes.
SearchHooks windowHooks(MainWindow& window) {
    SearchHooks hooks;
    hooks.beginLongRun = [&window] { return window.beginLongRun(); };
    hooks.endLongRun = [&window] { window.endLongRun(); };
    hooks.showError = [](const QString& text) { Messages::show(text, MsgIcon::Critical); };
    return hooks;
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
        if (QLabel* label = controller_.label3_)
            label->setText(QStringLiteral("正在搜索：") + folder_);
        QCoreApplication::processEvents();
        sinceYield_.restart();
        return alive();
    }

    // False once the controller is gone or its window was closed during a yield.
    bool alive() const {
        return self_ && !(controller_.stopRequested_ && !controller_.window_.isVisible());
    }

private:
    void showProgress() {
        if (QLabel* label = controller_.label3_) {
            label->setText(QStringLiteral("正在搜索：") + folder_);
            // The window fits Label3 to its text on the layout request the new text posts; that
            // runs first, so the forced paint shows the text whole.
            QCoreApplication::sendPostedEvents(label->parentWidget(), QEvent::LayoutRequest);
            label->repaint();
        }
    }

    SearchController& controller_;
    QPointer<SearchController> self_;
    QElapsedTimer sinceYield_;
    QString folder_;
    bool first_ = true;
};

SearchController::SearchController(MainWindow& window)
    : SearchController(window, window.fileMenu(), windowHooks(window)) {
    connect(&window, &MainWindow::firstActivated, this, &SearchController::startUp);
}

SearchController::SearchController(QWidget& window, QMenu* fileMenu, SearchHooks hooks)
    : QObject(&window), window_(window), fileMenu_(fileMenu), hooks_(std::move(hooks)) {
    if (!hooks_.enumerator) hooks_.enumerator = fs::makeNativeEnumerator();
    if (!hooks_.beginLongRun) hooks_.beginLongRun = [] { return true; };
    if (!hooks_.endLongRun) hooks_.endLongRun = [] {};
    if (!hooks_.showError)
        hooks_.showError = [](const QString& text) { Messages::show(text, MsgIcon::Critical); };
    if (!hooks_.execMenu) hooks_.execMenu = [](QMenu& menu, const QPoint& at) { menu.exec(at); };

    fm1_ = control<QGroupBox>(window, "fm1");
    fm_ = control<QWidget>(window, "fm");
    drive_ = control<QComboBox>(window, "drive");
    dir1_ = control<QListWidget>(window, "Dir1");
    text1_ = control<QLineEdit>(window, "Text1");
    command1_ = control<QPushButton>(window, "Command1");
    label3_ = control<QLabel>(window, "Label3");
    list3_ = control<QListWidget>(window, "List3");

    // The table needs a list to live in; a window without List3 still gets a working one.
    if (!list3_) list3_ = new QListWidget(&window);
    table_ = new ResultTable(*list3_, this);
    list3_->viewport()->installEventFilter(this);
    if (!dir1_) dir1_ = new QListWidget(&window);
    folderList_ = new FolderList(*dir1_, hooks_.style, this);
    window.installEventFilter(this);

    refreshRoots();

    // The platform's current folder is where the lists start.
    folderList_->setPath(QDir::toNativeSeparators(QDir::currentPath()));
    if (drive_) {
        const QSignalBlocker blocker(drive_);
        drive_->setCurrentIndex(rootIndexOf(folderList_->path()));
    }

    connect(folderList_, &FolderList::pathChanged, this, &SearchController::folderChange);
    if (drive_) {
        connect(drive_, &QComboBox::currentIndexChanged, this, &SearchController::driveChange);
        drive_->installEventFilter(this);
    }
    if (text1_) {
        connect(text1_, &QLineEdit::textChanged, this, &SearchController::patternChange);
        text1_->installEventFilter(this);
    }
    if (command1_) connect(command1_, &QPushButton::clicked, this, &SearchController::search);
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
    if (!drive_) return;
    const QSignalBlocker blocker(drive_);
    drive_->clear();
    for (int i = 0; i < paths.size(); ++i)
        drive_->addItem(labels.value(i, paths.at(i)), paths.at(i));
    drive_->setCurrentIndex(rootIndexOf(folderList_->path()));
}

int SearchController::rootIndexOf(const QString& path) const {
    return int(rootPaths_.indexOf(fs::rootOf(path, rootPaths_, hooks_.style)));
}

QString SearchController::totalsText() const {
    return search::totalsText(table_->count(), tsize_);
}

void SearchController::startUp() {
    if (text1_) text1_->setText(QStringLiteral("*.MDF"));
    spath_ = fs::normaliseFolder(folderList_->path(), hooks_.style);
    if (fm1_) fm1_->setTitle(QStringLiteral("搜索: "));
}

void SearchController::captionRule() {
    if (fm1_)
        fm1_->setTitle(QStringLiteral("搜索: ") + spath_ + (text1_ ? text1_->text() : QString()));
}

void SearchController::folderChange() {
    spath_ = fs::normaliseFolder(folderList_->path(), hooks_.style);
    const QString root = fs::rootOf(folderList_->path(), rootPaths_, hooks_.style);
    if (!root.isEmpty()) lastFolderOfRoot_.insert(root, folderList_->path());
    captionRule();
}

void SearchController::driveChange() {
    if (!drive_ || drive_->currentIndex() < 0) return;
    // Setting the drive back after a failure is itself a drive change; two levels are enough.
    if (driveChangeDepth_ >= 2) return;
    ++driveChangeDepth_;
    const QString root = drive_->currentData().toString();
    const QString value = drive_->currentText();
    if (text1_) text1_->setFocus();
    bool opened = false;
    if (fs::folderReadable(root)) {
        // A drive opens at its current folder: the one last open on it, while it is there.
        const QString last = lastFolderOfRoot_.value(root);
        opened = (!last.isEmpty() && folderList_->setPath(last)) || folderList_->setPath(root);
        if (!opened) {
            hooks_.showError(QStringLiteral("\r应用程序错误。"));
        } else {
            captionRule();
        }
    } else {
        hooks_.showError(QStringLiteral("\r无法访问驱动器 ") + fs::driveMark(value, hooks_.style) +
                         QStringLiteral("：  "));
        const int back = rootIndexOf(folderList_->path());
        if (back >= 0) drive_->setCurrentIndex(back);
    }
    --driveChangeDepth_;
}

void SearchController::patternChange() {
    if (command1_ && text1_) command1_->setEnabled(!text1_->text().isEmpty());
    captionRule();
}

void SearchController::search() {
    // Inside a running search or attach run the search is refused; that run goes on untouched.
    if (searching_ || !hooks_.beginLongRun()) return;
    QPointer<SearchController> self(this);
    // The run ends however the search ends, unless the window went away with the controller.
    struct EndRun {
        QPointer<SearchController> self;
        std::function<void()> end;
        ~EndRun() {
            if (self) end();
        }
    } endRun{self, hooks_.endLongRun};

    if (table_->count() >= kSearchLimit) {
        hooks_.showError(QStringLiteral("\r搜索的文件总数不能超过32726！ "));
        return;
    }
    searching_ = true;
    stopRequested_ = false;
    window_.repaint();
    if (fm_) fm_->hide();
    table_->clear();
    tsize_ = 0;
    window_.repaint();
    if (text1_) text1_->setFocus();

    // The walk works on its own copies: a change of folder or pattern meanwhile is for the next
    // search.
    const QString sdn = spath_;
    const QString ff = text1_ ? text1_->text() : QString();
    Walker walker(*this);
    const std::shared_ptr<fs::DirectoryEnumerator> enumerator = hooks_.enumerator;
    FolderWalk walk(*enumerator, hooks_.style);
    walk.run(sdn, ff, walker);
    if (!self) return;
    searching_ = false;
    if (!walker.alive()) return;  // the window was closed: nothing left to show

    if (label3_) label3_->setText(totalsText());
    if (fm_) fm_->show();
    list3_->show();
}

void SearchController::popup(const QPoint& at) {
    if (!fileMenu_) return;
    QAction* attachOne = fileMenu_->findChild<QAction*>(QStringLiteral("FjDG"));
    QAction* attachAll = fileMenu_->findChild<QAction*>(QStringLiteral("Fjqb"));
    QAction* attachNoLog = fileMenu_->findChild<QAction*>(QStringLiteral("WLDF"));
    const bool selected = !table_->selectedFullPath().isEmpty();
    for (QAction* action : {attachOne, attachAll, attachNoLog})
        if (action) action->setEnabled(selected);
    // A file name may hold "&", which a menu would take for a shortcut mark.
    const QString name = escapeMnemonic(table_->selectedFileName());
    if (attachOne) attachOne->setText(QStringLiteral("附加：") + name);
    if (attachNoLog) attachNoLog->setText(QStringLiteral("无LDF附加：") + name);
    hooks_.execMenu(*fileMenu_, at);
}

bool SearchController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::Close) stopRequested_ = true;
        return false;
    }
    if (drive_ && watched == drive_) {
        // A medium put in or a file system mounted since: the list is read again as it opens.
        if (event->type() == QEvent::MouseButtonPress) refreshRoots();
        return false;
    }
    if (text1_ && watched == text1_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && command1_ &&
                command1_->isEnabled())
                search();
        }
        return false;  // the key goes on to the box in every case
    }
    if (watched == list3_->viewport()) {
        const auto type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            // The list box's own right-button handling is left out: the menu names the row
            // that is selected now.
            popup(mouse->globalPosition().toPoint());
            return true;
        }
        if (mouse->button() != Qt::LeftButton) return false;
        if (type == QEvent::MouseButtonDblClick) {
            table_->removeSelected();
            return true;
        }
        // A click below the last row keeps the selection, as a list box does.
        return !list3_->indexAt(mouse->position().toPoint()).isValid();
    }
    return false;
}

}  // namespace korvid::search
