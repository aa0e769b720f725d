// The search installed in the real main window (no server behind it): the controls it is
// handed, the start-up settings on activation, the shared long-run guard and message boxes, and
// the attach popup with the window's own menu.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "NoServer.h"
#include "RecordingPrompts.h"
#include "Workspace.h"
#include "access/ModalMoments.h"
#include "access/ServerAccess.h"
#include "search/FolderList.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"
#include "ui/ProgramEnd.h"

using namespace korvid;
using korvid::test::NoServer;

namespace {

// Boxes are recorded; menus are the real ones.
class RealMenus : public test::RecordingPrompts {
public:
protected:
    void showPopup(QMenu& menu, const QPoint& at) override { menu.exec(at); }
};

}  // namespace

class SearchMainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir tree_;
    NoServer credentials_;
    RealMenus prompts_;

private slots:
    void init() {
        setProgramEndHandler([] {});
        prompts_.takeMessages();
    }
    void cleanup() { setProgramEndHandler(nullptr); }

    void searchInTheMainWindow() {
        QVERIFY(tree_.isValid());
        QDir().mkpath(tree_.path() + "/Data");
        for (const char* name : {"/a.mdf", "/Data/b.MDF", "/Data/c.txt"}) {
            QFile f(tree_.path() + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("12345");
        }

        ModalMoments moments;
        ServerAccess access(credentials_, moments);
        Workspace workspace(access, prompts_, moments);
        MainWindow& window = workspace.window();
        search::SearchController* controller = &workspace.search();
        LongRuns& runs = workspace.longRuns();
        QSignalSpy activated(&window, &MainWindow::firstActivated);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(activated.count(), 1);
        prompts_.takeMessages();  // the database list without a server

        const search::SearchControls c = window.searchControls();
        QCOMPARE(c.patternBox->text(), QStringLiteral("*.MDF"));
        QCOMPARE(c.searchFrame->title(), QStringLiteral("搜索: "));
        QVERIFY(controller->searchFolder().endsWith(QLatin1Char('/')));

        // Enter in the pattern box searches; the window's long run ends with it.
        QVERIFY(controller->folderList().setPath(tree_.path()));
        QSignalSpy finished(controller, &search::SearchController::searchFinished);
        QTest::keyClick(c.patternBox, Qt::Key_Return);
        QVERIFY(finished.wait(20000));
        QCOMPARE(controller->table().count(), 2);
        QCOMPARE(c.progressLabel->text(),
                 QStringLiteral("搜索结果列表：2 个文件，占用磁盘空间：0.00 Kb"));
        QTRY_VERIFY(c.progressLabel->width() >=
                    c.progressLabel->sizeHint().width());  // seen whole, not cut off
        QCOMPARE(controller->table().fullPath(0), tree_.path() + "/a.mdf");
        QVERIFY(!runs.active());

        // Inside an auto-attach run (the window's long run) the search is refused quietly.
        QVERIFY(runs.begin());
        controller->table().select(0);
        QTest::mouseClick(c.searchButton, Qt::LeftButton);
        QCOMPARE(controller->table().count(), 2);
        QCOMPARE(controller->table().selectedIndex(), 0);
        runs.end();

        // The limit message: critical, default title.
        for (int i = controller->table().count(); i < 32736; ++i)
            controller->table().append({"/x/", "y.mdf", 1});
        controller->search();
        const auto records = prompts_.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text, QStringLiteral("\r搜索的文件总数不能超过32726！ "));
        QCOMPARE(records[0].icon, MsgIcon::Critical);
        QCOMPARE(records[0].title, QStringLiteral("Korvid"));
        QCOMPARE(controller->table().count(), 32736);

        // The window's own attach menu pops up at a right press, naming the selected row.
        controller->table().select(1);
        QStringList seen;
        QTimer::singleShot(50, [&] {
            for (const QAction* action :
                 {c.attachOneAction, c.attachAllAction, c.attachWithoutLogAction})
                seen.append(action->text() + (action->isEnabled() ? "+" : "-"));
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        });
        QTest::mousePress(c.resultList->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(seen, (QStringList{"附加：B.MDF+", "附加：全部数据库+", "无LDF附加：B.MDF+"}));
    }
};

QTEST_MAIN(SearchMainWindowTest)
#include "SearchMainWindowTest.moc"
