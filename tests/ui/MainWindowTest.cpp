// The main window on its own: a database list that cannot load leaves a usable window, the
// resize rules skip only what cannot be applied, activation runs once, and the way out.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTime>

#include "RecordingPrompts.h"
#include "StandinProcess.h"
#include "access/LongRuns.h"
#include "access/ModalMoments.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "ui/MainWindow.h"
#include "ui/ProgramEnd.h"
#include "ui/StatusBar.h"
#include "ui/Twips.h"

#include "NoServer.h"

using namespace korvid;
using korvid::test::closedPort;
using korvid::test::NoServer;

class MainWindowTest : public QObject {
    Q_OBJECT
    int ends_ = 0;
    test::RecordingPrompts prompts_;
    ModalMoments moments_;

private slots:
    void init() {
        ends_ = 0;
        setProgramEndHandler([this] { ++ends_; });
        prompts_.takeMessages();
    }
    void cleanup() { setProgramEndHandler(nullptr); }

    void failedDatabaseListLeavesAUsableWindow() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        QSignalSpy activated(&window, &MainWindow::firstActivated);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const auto records = prompts_.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].icon, MsgIcon::Critical);
        QCOMPARE(records[0].title, QStringLiteral("Korvid"));
        QVERIFY(!records[0].text.isEmpty());
        QCOMPARE(window.databaseList()->rowCount(), 0);
        QCOMPARE(window.selectedDatabase(), QString());
        QVERIFY(window.databaseList()->connectionString().contains(credentials.server));
        // Read from the credentials at every connection, never kept.
        credentials.server = QStringLiteral("elsewhere,1500");
        QVERIFY(window.databaseList()->connectionString().contains(credentials.server));
        QCOMPARE(window.databaseList()->recordSource(),
                 QStringLiteral("select name  from sysdatabases ORDER BY name"));
        QTRY_COMPARE(activated.count(), 1);
        QVERIFY(window.isVisible());
        QCOMPARE(ends_, 0);
    }

    void loadThenResizeThenActivation() {
        // The load's failure box is the mark of the load; the list's width the mark of a resize.
        struct Order : QObject {
            explicit Order(test::RecordingPrompts& p) : prompts(p) {}
            test::RecordingPrompts& prompts;
            QStringList seen;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Resize && seen.isEmpty())
                    seen.append(prompts.takeMessages().isEmpty() ? QStringLiteral("resize")
                                                                 : QStringLiteral("load+resize"));
                return false;
            }
        } order(prompts_);
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        window.installEventFilter(&order);
        connect(&window, &MainWindow::firstActivated, &order,
                [&] { order.seen.append(QStringLiteral("activation")); });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(order.seen, (QStringList{"load+resize", "activation"}));
        auto* resultList = window.findChild<QListView*>(QStringLiteral("List3"));
        QCOMPARE(resultList->width(),
                 twipsToPixels(pixelsToTwips(window.frameGeometry().width()) - 2900));
    }

    void activationOnceHidesTheMenusAndLeavesThePattern() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        QSignalSpy activated(&window, &MainWindow::firstActivated);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(activated.count(), 1);
        window.activateWindow();
        window.hide();
        window.show();
        QTest::qWait(20);
        QCOMPARE(activated.count(), 1);
        QVERIFY(!window.attachMenu()->menuAction()->isVisible());
        QVERIFY(!window.databaseMenu()->menuAction()->isVisible());
        const QMenuBar* bar = window.findChild<QMenuBar*>();
        QVERIFY(bar == nullptr || !bar->isVisible());
        QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(),
                 QStringLiteral("Text1"));
        QCOMPARE(window.focusWidget(), window.findChild<QWidget*>(QStringLiteral("drive")));
    }

    void tabWalksTheControlsByTheirTabIndexes() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QStringList walk;
        for (int i = 0; i < 9; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            walk.append(focus->objectName());
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(walk, (QStringList{"drive", "Text1", "List3", "Command5", "Command1", "Command2",
                                    "Dir1", "DataGrid1", "drive"}));
    }

    void resizeRulesSkipOnlyWhatCannotBeApplied() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        auto* resultList = window.findChild<QListView*>(QStringLiteral("List3"));
        auto* grid = window.findChild<QTableView*>(QStringLiteral("DataGrid1"));
        QVERIFY(resultList && grid);

        window.applyResizeRules(12000, 8000);
        QCOMPARE(resultList->width(), twipsToPixels(9100));
        QCOMPARE(resultList->height(), twipsToPixels(4300));
        QCOMPARE(grid->height(), twipsToPixels(7000));

        // Too narrow for List3: its width stays, its height and the grid still follow.
        window.applyResizeRules(2000, 6000);
        QCOMPARE(resultList->width(), twipsToPixels(9100));
        QCOMPARE(resultList->height(), twipsToPixels(2300));
        QCOMPARE(grid->height(), twipsToPixels(5000));

        // Too low for List3, still tall enough for the grid.
        window.applyResizeRules(10000, 3000);
        QCOMPARE(resultList->width(), twipsToPixels(7100));
        QCOMPARE(resultList->height(), twipsToPixels(2300));
        QCOMPARE(grid->height(), twipsToPixels(2000));

        // Too low for both: everything keeps its last valid size.
        window.applyResizeRules(10000, 500);
        QCOMPARE(resultList->height(), twipsToPixels(2300));
        QCOMPARE(grid->height(), twipsToPixels(2000));

        // The window's own resize runs the rules with its outer size.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(twipsSize(9000, 6000));
        QTRY_COMPARE(resultList->width(),
                     twipsToPixels(pixelsToTwips(window.frameGeometry().width()) - 2900));
        QCOMPARE(grid->height(),
                 twipsToPixels(pixelsToTwips(window.frameGeometry().height()) - 1000));
        QCOMPARE(ends_, 0);
    }

    void hiddenWorkingControlsAreThereAndNeverShown() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* frame1 = window.findChild<QGroupBox*>(QStringLiteral("Frame1"));
        QVERIFY(frame1);
        QCOMPARE(frame1->title(), QStringLiteral("分离收缩"));
        QVERIFY(!frame1->isVisible());
        auto* selectedDatabaseBox = frame1->findChild<QLineEdit*>(QStringLiteral("Text8"));
        QVERIFY(selectedDatabaseBox);
        QCOMPARE(selectedDatabaseBox->text(), QString());
        QCOMPARE(window.databaseList()->objectName(), QStringLiteral("Adodc1"));
    }

    void statusBarAndLongRunFlag() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Panel6"))->text(),
                 QStringLiteral("SQL 工具"));
        // The date is looked at again just past midnight, and at least once a minute.
        QCOMPARE(StatusBar::nextDateCheckMs(QTime(12, 0)), 60 * 1000);
        QCOMPARE(StatusBar::nextDateCheckMs(QTime(0, 0)), 60 * 1000);
        const int late = StatusBar::nextDateCheckMs(QTime(23, 59, 59, 900));
        QVERIFY2(late > 100 && late <= 1000, QByteArray::number(late));

        LongRuns runs;
        QVERIFY(runs.begin());
        QVERIFY(!runs.begin());
        QVERIFY(runs.active());
        runs.end();
        QVERIFY(runs.begin());
    }

    void theProgramTakesNothingFromItsCommandLine() {
        // An option the toolkit would obey (an unknown platform) must not stop the start.
        QProcess korvid;
        test::StandinProcess::dieWithParent(korvid);  // no Korvid left behind by an aborted test
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        korvid.setProcessEnvironment(env);
        korvid.start(QStringLiteral(KORVID_BINARY),
                     {QStringLiteral("-platform"), QStringLiteral("no-such-platform")});
        QVERIFY(korvid.waitForStarted(5000));
        QVERIFY2(!korvid.waitForFinished(1500), korvid.readAllStandardError().constData());
        korvid.kill();
        QVERIFY(korvid.waitForFinished(5000));
    }

    void closeAndExitButtonEndTheProgram() {
        NoServer credentials;
        ServerAccess access(credentials, moments_);
        MainWindow window(access, prompts_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        prompts_.takeMessages();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        QCOMPARE(ends_, 1);
        window.close();
        QCOMPARE(ends_, 2);
        QVERIFY(prompts_.takeMessages().isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
