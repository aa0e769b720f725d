// The database list's popup, detach and shrink through the real main window against
// tds-standin.
#include <QAbstractItemView>
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QtTest>

#include "ServerWindowTest.h"
#include "access/QuerySource.h"
#include "maintenance/MaintenanceController.h"
#include "ui/MainWindow.h"

using namespace korvid;
using korvid::test::choose;

class MaintenanceWindowTest : public test::ServerWindowTest {
    Q_OBJECT

    maintenance::MaintenanceControls c() { return s_->window().maintenanceControls(); }
    struct Shown {
        int count = 0;
        QStringList captions;
        QList<bool> enabled;
    };
    // A press on the list with the given button; what the menu would have shown.
    Shown press(Qt::MouseButton button) {
        Shown shown;
        s_->prompts().setOnPopup([&](QMenu&) {
            ++shown.count;
            for (QAction* a : {c().detachAction, c().shrinkLogAction, c().shrinkDatabaseAction}) {
                shown.captions << a->text();
                shown.enabled << a->isEnabled();
            }
        });
        QWidget* grid = c().databaseGrid->viewport();
        QTest::mousePress(grid, button, {}, QPoint(20, 10));
        QTest::mouseRelease(grid, button, {}, QPoint(20, 10));
        return shown;
    }
    qint64 sizeOf(const QString& path) { return QFileInfo(path).size(); }

private slots:
    void popupNamesTheSelectedDatabaseOnTheRightButtonOnly() {
        QVERIFY(s_->selectDatabase(QStringLiteral("msdb")));
        QCOMPARE(press(Qt::LeftButton).count, 0);
        QCOMPARE(press(Qt::MiddleButton).count, 0);
        QVERIFY(s_->selectDatabase(QStringLiteral("msdb")));
        Shown shown = press(Qt::RightButton);
        QCOMPARE(shown.count, 1);
        QCOMPARE(shown.captions,
                 QStringList({QStringLiteral("分离数据库：msdb"), QStringLiteral("收缩日志：msdb"),
                              QStringLiteral("收缩数据库：msdb")}));
        QCOMPARE(shown.enabled, QList<bool>({true, true, true}));

        s_->window().databaseList()->setCurrentRow(-1);
        QCOMPARE(s_->window().selectedDatabase(), QString());
        shown = press(Qt::RightButton);
        QCOMPARE(shown.captions,
                 QStringList({QStringLiteral("分离数据库："), QStringLiteral("收缩日志："),
                              QStringLiteral("收缩数据库：")}));
        QCOMPARE(shown.enabled, QList<bool>({false, false, false}));
        // Without a selection detach says nothing, shrink refuses.
        s_->maintenance().detach();
        QVERIFY(s_->takeMessages().isEmpty());
        s_->maintenance().shrinkLog();
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].text, QStringLiteral("请选择数据库名称！"));
        QCOMPARE(m[0].title, QStringLiteral("提示:"));
        QCOMPARE(m[0].icon, MsgIcon::Critical);
    }

    void detachThenTheFirstRowIsCurrent() {
        QVERIFY(!s_->createDatabase(QStringLiteral("gone"), folder("db"), false).isEmpty());
        s_->window().databaseList()->refresh();
        QVERIFY(s_->selectDatabase(QStringLiteral("gone")));
        c().detachAction->trigger();
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].text, QStringLiteral("分离数据库 gone 成功！"));
        QCOMPARE(m[0].title, QStringLiteral("提示："));
        QCOMPARE(m[0].icon, MsgIcon::Information);
        const QStringList listed = s_->listedDatabases();
        QVERIFY(!listed.contains(QStringLiteral("gone")));
        QCOMPARE(s_->window().selectedDatabase(), listed.first());
    }

    void detachOfADatabaseInUseFailsAndKeepsTheList() {
        QVERIFY(!s_->createDatabase(QStringLiteral("busy"), folder("db"), false).isEmpty());
        s_->window().databaseList()->refresh();
        const auto user = s_->stayInside(QStringLiteral("busy"));
        QVERIFY(user);
        QVERIFY(s_->selectDatabase(QStringLiteral("busy")));
        const QStringList before = s_->listedDatabases();
        c().detachAction->trigger();
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].icon, MsgIcon::Critical);
        QVERIFY2(m[0].text.contains(QStringLiteral("in use")), qPrintable(m[0].text));
        QCOMPARE(s_->listedDatabases(), before);
        QCOMPARE(s_->window().selectedDatabase(), QStringLiteral("busy"));
    }

    void shrinksReduceTheFilesAndKeepTheirNamesApart() {
        const QString names[] = {QStringLiteral("my db"), QStringLiteral("O'Brien]x"),
                                 QStringLiteral("销售库")};
        for (const QString& name : names)
            QVERIFY(!s_->createDatabase(name, folder("db"), false).isEmpty());
        s_->window().databaseList()->refresh();
        for (const QString& name : names) {
            const QString data = folder("db") + name + QStringLiteral(".mdf");
            const QString log = s_->logFileOf(name, folder("db"));
            const qint64 dataBefore = sizeOf(data), logBefore = sizeOf(log);
            QVERIFY(s_->selectDatabase(name));
            choose(c().shrinkLogAction);
            QVERIFY(sizeOf(log) < logBefore);
            choose(c().shrinkDatabaseAction);
            QVERIFY(sizeOf(data) < dataBefore);
            QCOMPARE(s_->maintenance().logLogicalName(), name + QStringLiteral("_log"));
            QCOMPARE(s_->maintenance().dataLogicalName(), name);
            const QList<MessageRecord> m = s_->takeMessages();
            QCOMPARE(m.size(), 2);
            QCOMPARE(m[0].text, QStringLiteral("日志文件收缩成功！"));
            QCOMPARE(m[1].text, QStringLiteral("数据库收缩成功！"));
            // No connection of Korvid's own is left inside the database.
            c().detachAction->trigger();
            const QList<MessageRecord> d = s_->takeMessages();
            QCOMPARE(d.size(), 1);
            QCOMPARE(d[0].text, QStringLiteral("分离数据库 ") + name + QStringLiteral(" 成功！"));
            QVERIFY(!s_->listedDatabases().contains(name));
        }
    }

    // master refuses BACKUP LOG while its DBCC SHRINKFILE goes through: the batch as a whole
    // failed, and saying it succeeded would hide the server's refusal.
    void aShrinkOfMastersLogIsItsFailure() {
        QVERIFY(s_->selectDatabase(QStringLiteral("master")));
        choose(c().shrinkLogAction);
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].icon, MsgIcon::Critical);
        // The server's own words and number, not a text of Korvid's.
        QVERIFY2(m[0].text.contains(QStringLiteral("master")), qPrintable(m[0].text));
        QVERIFY2(m[0].detail.contains(QStringLiteral("\nMsg ")), qPrintable(m[0].detail));
        QVERIFY(!m[0].text.contains(QStringLiteral("日志文件收缩成功！")));
        QCOMPARE(s_->window().selectedDatabase(), QStringLiteral("master"));
    }

    void aDatabaseDroppedBehindKorvidsBackIsAnError() {
        QVERIFY(!s_->createDatabase(QStringLiteral("vanish"), folder("db"), false).isEmpty());
        s_->window().databaseList()->refresh();
        QVERIFY(s_->selectDatabase(QStringLiteral("vanish")));
        QVERIFY(s_->execute(QStringLiteral("master"),
                            QStringLiteral("EXEC sp_detach_db @dbname = N'vanish'")));
        choose(c().shrinkLogAction);
        c().detachAction->trigger();
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 2);
        QCOMPARE(m[0].icon, MsgIcon::Critical);
        QCOMPARE(m[1].icon, MsgIcon::Critical);
        QCOMPARE(s_->window().selectedDatabase(), QStringLiteral("vanish"));
    }
};

QTEST_MAIN(MaintenanceWindowTest)
#include "MaintenanceWindowTest.moc"
