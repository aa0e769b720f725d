// The search subsystem in a window of the test's own with the controls it needs: search
// location, the search with its limit and refusals, the result list's selection, removal and
// popup.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>

#include <unistd.h>

#include "access/LongRuns.h"
#include "access/ModalMoments.h"
#include "access/Prompts.h"
#include "fs/PathRules.h"
#include "search/FolderList.h"
#include "search/SearchController.h"

using namespace korvid;
using search::SearchController;

namespace {

// The controls the main window gives the search, and its attach popup menu.
class TestWindow : public QWidget {
public:
    TestWindow() {
        c.window = this;
        c.searchFrame = new QGroupBox(QStringLiteral("文件搜索设置"), this);
        c.driveBox = new QComboBox(c.searchFrame);
        c.folderView = new QListWidget(c.searchFrame);
        c.patternBox = new QLineEdit(QStringLiteral("Text1"), c.searchFrame);
        c.commandFrame = new QGroupBox(QStringLiteral("操作选项"), this);
        c.searchButton = new QPushButton(c.commandFrame);
        c.progressLabel = new QLabel(QStringLiteral("搜索结果列表："), this);
        c.resultList = new QListView(this);
        c.resultList->setGeometry(0, 200, 400, 300);
        c.attachMenu = new QMenu(QStringLiteral("File"), this);
        c.attachOneAction = c.attachMenu->addAction(QStringLiteral("FjDG"));
        c.attachAllAction = c.attachMenu->addAction(QStringLiteral("Fjqb"));
        c.attachMenu->addSeparator();
        c.attachWithoutLogAction = c.attachMenu->addAction(QStringLiteral("WLDF"));
        resize(500, 520);
    }
    search::SearchControls c;
};

struct MenuShown {
    QList<bool> enabled;   // FjDG, Fjqb, WLDF
    QStringList captions;  // FjDG, WLDF
};

// Records the boxes' texts and what each popup showed.
class TestPrompts : public Prompts {
public:
    QStringList errors;
    QList<MenuShown> menus;
    TestWindow* window = nullptr;
    std::function<void()> whilePopupOpen;  // runs in place of recording the menu

protected:
    void showPopup(QMenu&, const QPoint&) override {
        if (whilePopupOpen) {
            whilePopupOpen();
            return;
        }
        const search::SearchControls& c = window->c;
        MenuShown shown;
        for (QAction* a : {c.attachOneAction, c.attachAllAction, c.attachWithoutLogAction})
            shown.enabled.append(a->isEnabled());
        shown.captions = {c.attachOneAction->text(), c.attachWithoutLogAction->text()};
        menus.append(shown);
    }
    void show(const MessageRecord& box) override { errors.append(box.text); }
};

// Lists folders slowly, so the window works while the walk runs; counts the folders opened and
// remembers the thread that opened them.
class SlowEnumerator : public fs::DirectoryEnumerator {
public:
    std::atomic<int> opened{0};

    std::unique_ptr<fs::FolderReader> open(const QString& folder, bool followLink) override {
#ifdef Q_OS_LINUX
        walkThread_ = ::gettid();
#endif
        ++opened;
        QThread::msleep(12);
        return native_->open(folder, followLink);
    }

    // The thread that walked last has ended (where the platform can tell).
    bool walkThreadGone() const {
#ifdef Q_OS_LINUX
        return walkThread_ != 0 && walkThread_ != ::gettid() &&
               !QFileInfo::exists(QStringLiteral("/proc/self/task/%1").arg(walkThread_.load()));
#else
        return true;
#endif
    }

private:
    std::atomic<int> walkThread_{0};
    std::unique_ptr<fs::DirectoryEnumerator> native_ = fs::makeNativeEnumerator();
};

// A made-up tree under root, read from no disk: folders of files named by their row.
class ManyFiles : public fs::DirectoryEnumerator {
public:
    ManyFiles(QString root, int folders, int filesPerFolder)
        : root_(std::move(root)), folders_(folders), files_(filesPerFolder) {}

    std::unique_ptr<fs::FolderReader> open(const QString& folder, bool) override {
        const int index = folder == root_ ? -1 : folder.mid(root_.size()).chopped(1).toInt();
        return std::make_unique<Reader>(*this, index);
    }

private:
    class Reader : public fs::FolderReader {
    public:
        Reader(const ManyFiles& tree, int folder) : tree_(tree), folder_(folder) {}
        bool next(QString& name, fs::EntryKind& kind) override {
            const bool root = folder_ < 0;
            if (at_ >= (root ? tree_.folders_ : tree_.files_)) return false;
            const int n = at_++;
            name = root ? QString::number(n) : QStringLiteral("r%1.mdf").arg(row(n));
            kind = root ? fs::EntryKind::Folder : fs::EntryKind::File;
            return true;
        }
        bool failed() const override { return false; }
        std::optional<qint64> lastFileLength() override { return row(at_ - 1); }
        fs::FolderId id() const override { return {1, quint64(folder_ + 2)}; }

    private:
        int row(int n) const { return folder_ * tree_.files_ + n; }
        const ManyFiles& tree_;
        int folder_;
        int at_ = 0;
    };

    QString root_;
    int folders_;
    int files_;
};

}  // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestWindow> window_;
    SearchController* controller_ = nullptr;
    std::unique_ptr<LongRuns> runs_;
    int runsBegun_ = 0;
    ModalMoments moments_;
    TestPrompts prompts_;
    QStringList& errors_ = prompts_.errors;
    QList<MenuShown>& menus_ = prompts_.menus;
    QTemporaryDir tree_;

    QString root() const { return tree_.path() + QLatin1Char('/'); }
    void write(const QString& rel, qint64 size) {
        QDir().mkpath(QFileInfo(root() + rel).path());
        QFile f(root() + rel);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(size));
    }

    void make(std::shared_ptr<fs::DirectoryEnumerator> enumerator = nullptr) {
        window_ = std::make_unique<TestWindow>();
        prompts_.window = window_.get();
        prompts_.setModalMoments(&moments_);
        runs_ = std::make_unique<LongRuns>();
        connect(runs_.get(), &LongRuns::begun, [this] { ++runsBegun_; });
        controller_ = new SearchController(window_->c, prompts_, *runs_, moments_,
                                           std::move(enumerator), fs::PathStyle::Posix);
        window_->show();
        controller_->startUp();
        errors_.clear();
        menus_.clear();
        runsBegun_ = 0;
    }

    const search::SearchControls& c() const { return window_->c; }
    QString progressText() { return c().progressLabel->text(); }
    QListView* resultList() { return c().resultList; }
    QRect rowRect(int row) {
        return resultList()->visualRect(resultList()->model()->index(row, 0));
    }

    // Starts the search and waits for it to end.
    bool search() {
        QSignalSpy finished(controller_, &SearchController::searchFinished);
        controller_->search();
        return !controller_->isSearching() || finished.wait(20000);
    }

    void fillTable(int rows) {
        auto& table = controller_->table();
        for (int i = 0; i < rows; ++i) {
            const QString name = QStringLiteral("F%1.MDF").arg(i);
            table.append({QStringLiteral("/d/"), name, i});
        }
    }

    void openFolder(const QString& path) { QVERIFY(controller_->folderList().setPath(path)); }

private slots:
    void initTestCase() {
        QVERIFY(tree_.isValid());
        write("b.mdf", 1536);
        write("Data/Sales.MDF", 1048576);
        write("Data/notes.txt", 10);
        write("Data/Deep/x.Mdf", 100);
        write(".hid/h.mdf", 0);
        for (int i = 0; i < 40; ++i) write(QStringLiteral("many/f%1/a.mdf").arg(i), 1);
    }

    void startUpAndSearchLocation() {
        make();
        QLineEdit* patternBox = c().patternBox;
        QGroupBox* searchFrame = c().searchFrame;
        QPushButton* searchButton = c().searchButton;
        QCOMPARE(patternBox->text(), QStringLiteral("*.MDF"));
        QCOMPARE(controller_->searchFolder(),
                 fs::normaliseFolder(QDir::currentPath(), fs::PathStyle::Posix));
        QCOMPARE(searchFrame->title(), QStringLiteral("搜索: "));

        openFolder(tree_.path() + "/Data");
        QCOMPARE(controller_->searchFolder(), root() + "Data/");
        QCOMPARE(searchFrame->title(), QStringLiteral("搜索: ") + root() + "Data/*.MDF");
        // The folder list shows the way down, then the subfolders; Enter opens one.
        QListWidget* folderView = c().folderView;
        QCOMPARE(folderView->item(folderView->count() - 1)->text().trimmed(),
                 QStringLiteral("Deep"));
        folderView->setCurrentRow(folderView->count() - 1);
        QTest::keyClick(folderView, Qt::Key_Return);
        QCOMPARE(controller_->searchFolder(), root() + "Data/Deep/");
        // Typing a folder's first letter finds it, as in any list of names.
        QVERIFY(QDir().mkpath(root() + "Data/Deep/kept"));
        QVERIFY(QDir().mkpath(root() + "Data/Deep/other"));
        openFolder(tree_.path() + "/Data/Deep");
        QTest::keyClicks(folderView, QStringLiteral("o"));
        QCOMPARE(folderView->currentItem()->text(), QStringLiteral("other"));

        // An empty pattern disables the search, and Enter then does nothing.
        patternBox->clear();
        QVERIFY(!searchButton->isEnabled());
        QCOMPARE(searchFrame->title(), QStringLiteral("搜索: ") + root() + "Data/Deep/");
        QTest::keyClick(patternBox, Qt::Key_Return);
        QCOMPARE(runsBegun_, 0);
        // One blank is a pattern: Enter searches.
        QTest::keyClick(patternBox, Qt::Key_Space);
        QVERIFY(searchButton->isEnabled());
        QSignalSpy finished(controller_, &SearchController::searchFinished);
        QTest::keyClick(patternBox, Qt::Key_Return);
        QCOMPARE(runsBegun_, 1);
        QVERIFY(finished.wait(20000));
        QCOMPARE(patternBox->text(), QStringLiteral(" "));  // the key is not swallowed

        // The search folder of the next search follows; the root of the folder keeps "/" alone.
        openFolder("/");
        QCOMPARE(controller_->searchFolder(), QStringLiteral("/"));
    }

    void driveThatCannotBeReadGoesBack() {
        make();
        QDir().mkpath(root() + "good/inner");
        const QString missing = root() + "gone/";
        controller_->setRoots({root() + "good/", missing}, {root() + "good", "/gone"});
        QComboBox* drive = c().driveBox;
        drive->setCurrentIndex(0);
        QCOMPARE(controller_->folderList().path(), root() + "good");
        openFolder(root() + "good/inner");

        drive->setCurrentIndex(1);
        QCOMPARE(errors_, QStringList{QStringLiteral("\r无法访问驱动器 /gone：  ")});
        // Back to the drive of the folder still open, which opens that folder again.
        QCOMPARE(drive->currentIndex(), 0);
        QCOMPARE(controller_->folderList().path(), root() + "good/inner");
        QCOMPARE(controller_->searchFolder(), root() + "good/inner/");
        QCOMPARE(c().searchFrame->title(), QStringLiteral("搜索: ") + root() + "good/inner/*.MDF");
    }

    void searchFillsTheTableAndWritesTheTotals() {
        make();
        openFolder(tree_.path());
        QSignalSpy finished(controller_, &SearchController::searchFinished);
        QTest::mouseClick(c().searchButton, Qt::LeftButton);
        QVERIFY(finished.wait(20000));
        auto& table = controller_->table();
        QCOMPARE(table.count(), 44);
        QCOMPARE(controller_->totalSize(), qint64(1536 + 1048576 + 100 + 40));
        QCOMPARE(progressText(), search::totalsText(44, 1536 + 1048576 + 100 + 40));
        QCOMPARE(progressText(), controller_->totalsText());
        QCOMPARE(table.fullPath(0), root() + "b.mdf");
        QCOMPARE(resultList()->model()->rowCount(), 44);
        for (int i = 0; i < table.count(); ++i) {
            QCOMPARE(table.fullPath(i), table.folder(i) + QFileInfo(table.fullPath(i)).fileName());
            QCOMPARE(table.fileName(i), QFileInfo(table.fullPath(i)).fileName().toUpper());
            QCOMPARE(table.folderWithoutDrive(i), table.folder(i));
            QCOMPARE(table.size(i), QFileInfo(table.fullPath(i)).size());
        }
        QVERIFY(c().commandFrame->isVisible());
        QVERIFY(!runs_->active());
        QVERIFY(!controller_->isSearching());

        // Nothing found.
        c().patternBox->setText("*.nothing");
        QVERIFY(search());
        QCOMPARE(progressText(), QStringLiteral("搜索结果列表：0 个文件，占用磁盘空间：0. Kb"));
    }

    void windowStaysLiveAndASecondSearchIsRefused() {
        make(std::make_shared<SlowEnumerator>());
        openFolder(tree_.path());
        fillTable(3);
        bool sawRunning = false;
        QStringList progress;
        QList<int> counts;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (!controller_->isSearching()) return;
            sawRunning = true;
            QVERIFY(!c().commandFrame->isVisible());
            QVERIFY(runs_->active());
            progress.append(progressText());
            counts.append(controller_->table().count());
            // Enter in the pattern box while searching: refused, the running search goes on;
            // an attach run is refused too.
            QTest::keyClick(c().patternBox, Qt::Key_Return);
            controller_->search();
            QVERIFY(!runs_->begin());
            // A change of folder or pattern is for the next search only.
            c().patternBox->setText("*.txt");
            controller_->folderList().setPath(tree_.path() + "/Data");
        });
        timer.start(5);
        c().patternBox->setText("*.mdf");
        QVERIFY(search());
        timer.stop();
        QVERIFY(sawRunning);
        QCOMPARE(runsBegun_, 1);
        QVERIFY(!progress.isEmpty());
        QVERIFY(progress.first().startsWith(QStringLiteral("正在搜索：") + root()));
        // The folder being walked follows the walk.
        QVERIFY(QSet<QString>(progress.cbegin(), progress.cend()).size() > 1);
        // Rows appear while the walk runs, not all at its end.
        QVERIFY(std::any_of(counts.cbegin(), counts.cend(), [](int n) { return n > 0 && n < 44; }));
        QCOMPARE(controller_->table().count(), 44);
        QCOMPARE(progressText(), search::totalsText(44, 1536 + 1048576 + 100 + 40));
        QVERIFY(c().commandFrame->isVisible());
    }

    void anOpenMenuHoldsTheListUntilItCloses() {
        auto slow = std::make_shared<SlowEnumerator>();
        make(slow);
        openFolder(tree_.path());
        bool checked = false;
        prompts_.whilePopupOpen = [&] {
            const int rows = controller_->table().count();
            const QString label = progressText();
            const int opened = slow->opened;
            QTest::qWait(300);  // some 25 folders' time
            QCOMPARE(controller_->table().count(), rows);
            QCOMPARE(progressText(), label);
            QVERIFY(slow->opened - opened <= 3);  // the walk waits too
            QVERIFY(controller_->isSearching());
            checked = true;
        };
        QSignalSpy finished(controller_, &SearchController::searchFinished);
        controller_->search();
        QTRY_VERIFY(controller_->table().count() > 0);
        QTest::mousePress(resultList()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        prompts_.whilePopupOpen = nullptr;
        QVERIFY(checked);
        QVERIFY(finished.wait(20000));
        QCOMPARE(controller_->table().count(), 44);
        QCOMPARE(progressText(), search::totalsText(44, 1536 + 1048576 + 100 + 40));
    }

    void closingOrDeletingTheWindowStopsTheSearch() {
        auto slow = std::make_shared<SlowEnumerator>();
        make(slow);
        openFolder(tree_.path());
        QTimer::singleShot(30, window_.get(), [this] { window_->close(); });
        QVERIFY(search());
        QVERIFY(controller_->table().count() < 44);
        QVERIFY(progressText().startsWith(QStringLiteral("正在搜索：")));
        QVERIFY(!runs_->active());
        QVERIFY(!controller_->isSearching());
        // The walk's thread is gone and opens nothing more.
        QVERIFY(slow->walkThreadGone());
        const int opened = slow->opened;
        QTest::qWait(50);
        QCOMPARE(int(slow->opened), opened);
        // Shown again, the window searches as before.
        window_->show();
        QVERIFY(search());
        QCOMPARE(controller_->table().count(), 44);

        // The window goes, and with it the controller and its table, at various points of the
        // walk: the thread ends first, the run ends with them.
        for (int round = 0; round < 5; ++round) {
            if (!window_) make(slow);
            openFolder(tree_.path());
            QTimer::singleShot(10 + 15 * round, [this] { window_.reset(); });
            controller_->search();
            QTRY_VERIFY(!window_);
            QVERIFY(!runs_->active());
            QVERIFY(slow->walkThreadGone());
        }
    }

    void aLongListArrivesWholeAndInOrder() {
        // More rows than the window adds in one turn, in batches of every size.
        const int folders = 30, files = 1700, rows = folders * files;
        make(std::make_shared<ManyFiles>(root(), folders, files));
        openFolder(tree_.path());
        QVERIFY(search());
        auto& table = controller_->table();
        QCOMPARE(table.count(), rows);
        for (int i = 0; i < rows; i += 97) {
            QCOMPARE(table.fileName(i), QStringLiteral("R%1.MDF").arg(i));
            QCOMPARE(table.folder(i), root() + QString::number(i / files) + QLatin1Char('/'));
            QCOMPARE(table.size(i), qint64(i));
        }
        QCOMPARE(table.fullPath(rows - 1),
                 root() + QString::number(folders - 1) + QStringLiteral("/r%1.mdf").arg(rows - 1));
        QCOMPARE(controller_->totalSize(), qint64(rows) * (rows - 1) / 2);
        QCOMPARE(progressText(), controller_->totalsText());
    }

    void rowLimitAndLongRuns() {
        make();
        openFolder(tree_.path() + "/Data");
        fillTable(32735);
        QVERIFY(search());
        QVERIFY(errors_.isEmpty());
        QCOMPARE(controller_->table().count(), 2);

        controller_->table().clear();
        fillTable(32736);
        QVERIFY(search());
        QCOMPARE(errors_, QStringList{QStringLiteral("\r搜索的文件总数不能超过32726！ ")});
        QCOMPARE(controller_->table().count(), 32736);
        QVERIFY(!runs_->active());

        // Inside an attach run the search is refused without a word, and nothing changes.
        errors_.clear();
        controller_->table().clear();
        fillTable(2);
        QVERIFY(runs_->begin());
        QVERIFY(search());
        QCOMPARE(controller_->table().count(), 2);
        QVERIFY(errors_.isEmpty());
        runs_->end();
    }

    void selectionAndRemovalKeepTheColumnsInStep() {
        make();
        fillTable(4);
        auto& table = controller_->table();
        QCOMPARE(table.selectedIndex(), -1);
        QCOMPARE(table.selectedFileName(), QString());

        // By code, by the keyboard and by the mouse the companions follow List3.
        QVERIFY(table.select(1));
        QCOMPARE(table.selectedFileName(), QStringLiteral("F1.MDF"));
        QVERIFY(!table.select(4));
        QVERIFY(!table.select(-2));
        QCOMPARE(table.selectedIndex(), 1);
        resultList()->setFocus();
        QTest::keyClick(resultList(), Qt::Key_Down);
        QCOMPARE(table.selectedIndex(), 2);
        QCOMPARE(table.selectedFileName(), QStringLiteral("F2.MDF"));
        QCOMPARE(table.selectedFolder(), QStringLiteral("/d/"));
        const QRect first = rowRect(0);
        QTest::mouseClick(resultList()->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(table.selectedFileName(), QStringLiteral("F0.MDF"));
        // A click below the last row keeps the selected row.
        QTest::mouseClick(resultList()->viewport(), Qt::LeftButton, {}, QPoint(5, 290));
        QCOMPARE(table.selectedIndex(), 0);

        // A double click takes the row out of all five columns; then no row is selected.
        const QString totals = progressText();
        const QRect third = rowRect(2);
        // The gesture's first press selects the row, then the double click comes.
        QTest::mouseClick(resultList()->viewport(), Qt::LeftButton, {}, third.center());
        QTest::mouseDClick(resultList()->viewport(), Qt::LeftButton, {}, third.center());
        QCOMPARE(table.count(), 3);
        QCOMPARE(table.selectedIndex(), -1);
        QCOMPARE(table.selectedFileName(), QString());
        const QStringList left{"F0.MDF", "F1.MDF", "F3.MDF"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(table.fileName(i), left.at(i));
            QCOMPARE(table.fullPath(i), QStringLiteral("/d/") + left.at(i));
            QCOMPARE(table.size(i), qint64(left.at(i).mid(1, 1).toInt()));
        }
        QCOMPARE(progressText(), totals);
        // With nothing selected a double click on the free area removes nothing.
        QTest::mouseDClick(resultList()->viewport(), Qt::LeftButton, {}, QPoint(5, 290));
        QCOMPARE(table.count(), 3);

        QVERIFY(table.select(2));
        QVERIFY(table.select(-1));
        QCOMPARE(table.selectedFileName(), QString());
        QCOMPARE(resultList()->selectionModel()->selectedIndexes().size(), 0);
    }

    void popupNamesTheSelectedRow() {
        make();
        fillTable(2);
        controller_->table().append({"/d/", "A&B.MDF", 1});
        auto* viewport = resultList()->viewport();
        // Nothing selected: all three greyed out, bare captions.
        QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(menus_.size(), 1);
        QCOMPARE(menus_.last().enabled, (QList<bool>{false, false, false}));
        QCOMPARE(menus_.last().captions, (QStringList{"附加：", "无LDF附加："}));
        QCOMPARE(controller_->table().selectedIndex(), -1);  // the press selects nothing

        controller_->table().select(1);
        const QRect other = rowRect(0);
        QTest::mousePress(viewport, Qt::RightButton, {}, other.center());
        QCOMPARE(menus_.last().enabled, (QList<bool>{true, true, true}));
        QCOMPARE(menus_.last().captions, (QStringList{"附加：F1.MDF", "无LDF附加：F1.MDF"}));

        // "&" in a name is shown, not taken for a shortcut mark.
        controller_->table().select(2);
        QTest::mousePress(viewport, Qt::RightButton, {}, other.center());
        QCOMPARE(menus_.last().captions, (QStringList{"附加：A&&B.MDF", "无LDF附加：A&&B.MDF"}));

        // Other buttons open nothing.
        QTest::mousePress(viewport, Qt::MiddleButton, {}, other.center());
        QCOMPARE(menus_.size(), 3);
        QTest::mouseRelease(viewport, Qt::MiddleButton, {}, other.center());
    }
};

QTEST_MAIN(SearchWindowTest)
#include "SearchWindowTest.moc"
