// The database list's popup, detach and shrink through the real main window against
// tds-standin.
#include <QAbstractItemView>
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "Harness.h"
#include "access/QuerySource.h"
#include "maintenance/MaintenanceController.h"
#include "ui/MainWindow.h"

using namespace korvid;

class MaintenanceWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::Harness> s_;
    std::unique_ptr<QTemporaryDir> dir_;

    QString folder() { return dir_->path() + QStringLiteral("/db/"); }
    QAction* action(const char* name) {
        for (QAction* a : s_->window().databaseMenu()->actions())
            if (a->objectName() == QLatin1String(name)) return a;
        return nullptr;
    }
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
            for (const char* n : {"FLSJ", "SSRZ", "SSSJK"}) {
                shown.captions << action(n)->text();
                shown.enabled << action(n)->isEnabled();
            }
        });
        auto* grid = s_->window().findChild<QAbstractItemView*>(QStringLiteral("DataGrid1"));
        QTest::mousePress(grid->viewport(), button, {}, QPoint(20, 10));
        QTest::mouseRelease(grid->viewport(), button, {}, QPoint(20, 10));
        return shown;
    }
    qint64 sizeOf(const QString& path) { return QFileInfo(path).size(); }
    void shrink(const char* which) {
        QAction* a = action(which);
        a->setEnabled(true);
        a->trigger();
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        s_ = std::make_unique<test::Harness>();
        QVERIFY(s_->start());
    }
    void cleanup() {
        s_.reset();
        dir_.reset();
    }

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
        QVERIFY(!s_->createDatabase(QStringLiteral("gone"), folder(), false).isEmpty());
        s_->window().databaseList()->refresh();
        QVERIFY(s_->selectDatabase(QStringLiteral("gone")));
        action("FLSJ")->trigger();
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
        QVERIFY(!s_->createDatabase(QStringLiteral("busy"), folder(), false).isEmpty());
        s_->window().databaseList()->refresh();
        const auto user = s_->stayInside(QStringLiteral("busy"));
        QVERIFY(user);
        QVERIFY(s_->selectDatabase(QStringLiteral("busy")));
        const QStringList before = s_->listedDatabases();
        action("FLSJ")->trigger();
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
            QVERIFY(!s_->createDatabase(name, folder(), false).isEmpty());
        s_->window().databaseList()->refresh();
        for (const QString& name : names) {
            const QString data = folder() + name + QStringLiteral(".mdf");
            const QString log = s_->logFileOf(name, folder());
            const qint64 dataBefore = sizeOf(data), logBefore = sizeOf(log);
            QVERIFY(s_->selectDatabase(name));
            shrink("SSRZ");
            QVERIFY(sizeOf(log) < logBefore);
            shrink("SSSJK");
            QVERIFY(sizeOf(data) < dataBefore);
            QCOMPARE(s_->maintenance().logLogicalName(), name + QStringLiteral("_log"));
            QCOMPARE(s_->maintenance().dataLogicalName(), name);
            const QList<MessageRecord> m = s_->takeMessages();
            QCOMPARE(m.size(), 2);
            QCOMPARE(m[0].text, QStringLiteral("日志文件收缩成功！"));
            QCOMPARE(m[1].text, QStringLiteral("数据库收缩成功！"));
            // No connection of Korvid's own is left inside the database.
            action("FLSJ")->trigger();
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
        shrink("SSRZ");
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].icon, MsgIcon::Critical);
        // The server's own words and number, not a text of Korvid's.
        QVERIFY2(m[0].text.contains(QStringLiteral("master")), qPrintable(m[0].text));
        QVERIFY2(m[0].detail.startsWith(QStringLiteral("Msg ")), qPrintable(m[0].detail));
        QVERIFY(!m[0].text.contains(QStringLiteral("日志文件收缩成功！")));
        QCOMPARE(s_->window().selectedDatabase(), QStringLiteral("master"));
    }

    void aDatabaseDroppedBehindKorvidsBackIsAnError() {
        QVERIFY(!s_->createDatabase(QStringLiteral("vanish"), folder(), false).isEmpty());
        s_->window().databaseList()->refresh();
        QVERIFY(s_->selectDatabase(QStringLiteral("vanish")));
        QVERIFY(s_->execute(QStringLiteral("master"),
                            QStringLiteral("EXEC sp_detach_db @dbname = N'vanish'")));
        shrink("SSRZ");
        action("FLSJ")->trigger();
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 2);
        QCOMPARE(m[0].icon, MsgIcon::Critical);
        QCOMPARE(m[1].icon, MsgIcon::Critical);
        QCOMPARE(s_->window().selectedDatabase(), QStringLiteral("vanish"));
    }
};

QTEST_MAIN(MaintenanceWindowTest)
#include "MaintenanceWindowTest.moc"
