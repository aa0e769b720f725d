// The window while the server is slow or silent: a popup item acts on what its caption named
// and a running auto attach holds still under an open menu or box; a read that is never
// answered fails after its time-out with the window alive; a change waits as long as it takes;
// closing the window ends the program at once even while a statement hangs.
#include <QAbstractItemView>
#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ServerWindowTest.h"
#include "WindowInput.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "attach/AttachController.h"
#include "maintenance/MaintenanceController.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

using namespace korvid;
using Outcome = attach::AutoAttachRun::Outcome;

namespace {

// Counts the turns of the window's event loop while something waits.
struct Ticks {
    QTimer timer;
    QElapsedTimer sinceLast;
    qint64 largestGapMs = 0;
    int count = 0;
    Ticks() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            largestGapMs = std::max(largestGapMs, sinceLast.restart());
            ++count;
        });
        sinceLast.start();
        timer.start(20);
    }
};

}  // namespace

class BusyWindowTest : public test::ServerWindowTest {
    Q_OBJECT

public:
    BusyWindowTest() : ServerWindowTest(true) {}

private:
    // Two files in the folder itself, then forty in a subfolder: the search lists the two first.
    void makeFilesAndSearch() {
        const QString root = folder();
        for (const char* name : {"pre_a", "pre_b"})
            QVERIFY(!s_->createDatabase(QString::fromLatin1(name), root).isEmpty());
        for (int i = 0; i < 40; ++i)
            QVERIFY(!s_->createDatabase(QStringLiteral("run_%1").arg(i, 2, 10, QLatin1Char('0')),
                                        root + QStringLiteral("sub/"))
                         .isEmpty());
        for (const char* name : {"aaa_first", "zz_target"})
            QVERIFY(
                !s_->createDatabase(QString::fromLatin1(name), folder("kept"), false).isEmpty());
        s_->window().databaseList()->refresh();
        QCOMPARE(s_->searchFolder(root), 42);
        QVERIFY(table().fullPath(0).contains(QStringLiteral("pre_")));
        QVERIFY(table().fullPath(2).contains(QStringLiteral("/sub/run_")));
    }

    // Starts auto attach from the third row with every statement slowed down.
    void startSlowRun() {
        s_->proxy().setSpared(2);
        s_->proxy().setDelayMs(15);
        QVERIFY(table().select(2));
        s_->window().attachControls().autoAttachButton->click();
        QVERIFY(s_->attach().isRunning());
        QTest::qWait(300);
        QVERIFY2(s_->attach().isRunning(), "the run ended too soon to overlap");
    }

    // Presses the right button on the database list with zz_target current; while the menu is
    // open the person hesitates and the list reloads; then the item is chosen.
    void chooseForZzTarget(QAction* item, QStringList* caption) {
        QVERIFY(s_->selectDatabase(QStringLiteral("zz_target")));
        s_->prompts().setOnPopup([&](QMenu&) {
            *caption << item->text();
            const QString progress = progressText();
            const QStringList listed = s_->listedDatabases();
            QTest::qWait(400);  // the run must hold still meanwhile
            QCOMPARE(progressText(), progress);
            QCOMPARE(s_->listedDatabases(), listed);
            s_->window().databaseList()->refresh();  // first row current now
            item->trigger();
        });
        s_->maintenance().databaseListPressed(Qt::RightButton, QPoint(10, 10));
        s_->prompts().setOnPopup(nullptr);
    }

private slots:
    // The person's own clicks, as the window system brings them, during a run against a server
    // that answers every packet 40 ms late (one across a WAN): the database popup opens between
    // two calls of the run, which holds while it is open, and acts on the database its caption
    // named; a double click takes a row out; the run goes on over the rest and completes.
    void thePersonsInputIsServedBetweenCallsOfASlowRun() {
        for (int i = 0; i < 10; ++i)
            QVERIFY(!s_->createDatabase(QStringLiteral("run_%1").arg(i), folder()).isEmpty());
        // Listed above master and the run's databases: its row stays where it is.
        for (const char* name : {"aaa_first", "kept_target"})
            QVERIFY(
                !s_->createDatabase(QString::fromLatin1(name), folder("kept"), false).isEmpty());
        s_->window().databaseList()->refresh();
        QCOMPARE(s_->searchFolder(folder()), 10);
        const QString removed = QFileInfo(table().fullPath(9)).completeBaseName();

        QSignalSpy done(&s_->attach(), &attach::AttachController::runFinished);
        s_->proxy().setDelayMs(40);
        QVERIFY(table().select(0));
        QTest::mouseClick(s_->window().attachControls().autoAttachButton, Qt::LeftButton);

        const maintenance::MaintenanceControls database = s_->window().maintenanceControls();
        QElapsedTimer sinceInput;
        qint64 popupAfterMs = -1;
        QString caption;
        s_->prompts().setOnPopup([&](QMenu&) {
            popupAfterMs = sinceInput.elapsed();
            caption = database.detachAction->text();
            QVERIFY(s_->attach().isRunning());
            const QString progress = progressText();
            QTest::qWait(300);  // the run holds still meanwhile
            QCOMPARE(progressText(), progress);
            database.detachAction->trigger();
        });
        QTimer::singleShot(300, [&] {
            auto* grid = database.databaseGrid;
            const QPoint row = grid->visualRect(grid->model()->index(1, 0)).center();
            test::queueClick(*grid->viewport(), Qt::LeftButton, row);
            test::queueClick(*grid->viewport(), Qt::RightButton, row);
            sinceInput.start();
        });
        QTRY_VERIFY_WITH_TIMEOUT(popupAfterMs >= 0, 30000);
        s_->prompts().setOnPopup(nullptr);
        QVERIFY2(popupAfterMs < 1000, QByteArray::number(popupAfterMs));
        QCOMPARE(caption, QStringLiteral("分离数据库：kept_target"));
        QVERIFY(!s_->listedDatabases().contains(QStringLiteral("kept_target")));
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("aaa_first")));

        // The last row, not reached yet, goes by its gesture while the run goes on.
        QVERIFY(s_->attach().isRunning());
        QListView& list = table().list();
        test::queueDoubleClick(*list.viewport(), list.visualRect(table().index(9)).center());
        sinceInput.start();
        QTRY_COMPARE_WITH_TIMEOUT(table().count(), 9, 1000);
        QVERIFY(s_->attach().isRunning());

        QVERIFY(done.wait(60000));
        QCOMPARE(done.first().first().value<Outcome>(), Outcome::Completed);
        for (int i = 0; i < 10; ++i) {
            const QString name = QStringLiteral("run_%1").arg(i);
            QCOMPARE(s_->listedDatabases().contains(name), name != removed);
        }
    }

    void popupDuringARunActsOnTheNamedDatabase() {
        makeFilesAndSearch();
        QSignalSpy done(&s_->attach(), &attach::AttachController::runFinished);
        startSlowRun();

        QStringList captions;
        const maintenance::MaintenanceControls database = s_->window().maintenanceControls();
        chooseForZzTarget(database.detachAction, &captions);
        QCOMPARE(captions, QStringList{QStringLiteral("分离数据库：zz_target")});
        QVERIFY(!s_->listedDatabases().contains(QStringLiteral("zz_target")));
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("aaa_first")));
        QVERIFY(s_->execute(QStringLiteral("master"), QStringLiteral("CREATE DATABASE zz_target")));
        s_->window().databaseList()->refresh();

        chooseForZzTarget(database.shrinkLogAction, &captions);
        QCOMPARE(captions.last(), QStringLiteral("收缩日志：zz_target"));
        QCOMPARE(s_->maintenance().logLogicalName(), QStringLiteral("zz_target_log"));

        // The attach popup too: the row it named, though the selection moved meanwhile.
        const attach::AttachControls attach = s_->window().attachControls();
        s_->prompts().setOnPopup([&](QMenu&) {
            table().select(1);
            attach.attachOneAction->trigger();
        });
        QVERIFY(table().select(0));
        emit attach.attachMenu->aboutToShow();  // as the real menu does
        s_->prompts().popup(*attach.attachMenu, QPoint());
        emit attach.attachMenu->aboutToHide();
        s_->prompts().setOnPopup(nullptr);
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("pre_a")) ||
                s_->listedDatabases().contains(QStringLiteral("pre_b")));
        const QString named = table().fullPath(0).contains("pre_a") ? "pre_a" : "pre_b";
        const QString other = named == QLatin1String("pre_a") ? "pre_b" : "pre_a";
        QVERIFY(s_->listedDatabases().contains(named));
        QVERIFY(!s_->listedDatabases().contains(other));

        QVERIFY(done.wait(120000));
        const auto messages = s_->takeMessages();
        QVERIFY2(done.first().first().value<Outcome>() == Outcome::Completed,
                 qPrintable(messages.value(messages.size() - 1).text + " / " +
                            messages.value(messages.size() - 1).detail));
        for (int i = 0; i < 40; ++i)
            QVERIFY(s_->listedDatabases().contains(
                QStringLiteral("run_%1").arg(i, 2, 10, QLatin1Char('0'))));
    }

    void aReadNeverAnsweredFailsAfterItsTimeOutWithTheWindowAlive() {
        s_->serverAccess().setReadTimeout(1);
        s_->proxy().setSpared(2);
        s_->proxy().setSwallow(true);
        Ticks ticks;
        QElapsedTimer clock;
        clock.start();
        try {
            s_->window().databaseList()->refresh();
            QFAIL("a read the server never answered succeeded");
        } catch (const db::DbError& e) {
            QCOMPARE(e.primary().sqlState, QStringLiteral("HYT00"));
            QCOMPARE(e.serverText(), QStringLiteral("服务器在 1 秒内没有应答。"));
        }
        QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() < 2500,
                 QByteArray::number(clock.elapsed()));
        QVERIFY(ticks.count >= 30);  // the window's loop kept turning
        QVERIFY2(ticks.largestGapMs < 200, QByteArray::number(ticks.largestGapMs));
        QVERIFY(s_->proxy().swallowedBytes() > 0);
        QCOMPARE(s_->window().databaseList()->rowCount(), 4);  // the rows shown stay

        // A statement that changes the server has no time-out: it waits as long as it takes.
        s_->proxy().setSwallow(false);
        s_->proxy().setDelayMs(2000);
        clock.restart();
        const db::BatchResult r =
            s_->serverAccess().execute(ConnectionShape::server(), QStringLiteral("PRINT 'slow'"));
        QVERIFY(clock.elapsed() >= 2000);
        QCOMPARE(r.infos.value(0).text, QStringLiteral("slow"));
    }

    void closingTheWindowEndsTheProgramWhileAStatementHangs() {
        QProcess probe;
        test::StandinProcess::dieWithParent(probe);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(KORVID_HOSTAGE_PROBE), {});
        QVERIFY(probe.waitForStarted(5000));
        QByteArray said;
        while (!said.startsWith("closing")) {
            if (!probe.canReadLine() && !probe.waitForReadyRead(30000)) break;
            while (probe.canReadLine() && !said.startsWith("closing")) said = probe.readLine();
        }
        QVERIFY2(said.startsWith("closing"), said.constData());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(probe.waitForFinished(5000));
        QVERIFY2(clock.elapsed() < 1000, QByteArray::number(clock.elapsed()));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
    }
};

QTEST_MAIN(BusyWindowTest)
#include "BusyWindowTest.moc"
