// Korvid against the stand-in playing SQL Server 2000 and 2019: the whole road with files that
// really get smaller, the recovery model a shrink leaves as it found it (also when the shrink
// fails), and attach failures that reach the person with the server's own number.
#include <QAction>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "Harness.h"
#include "access/QuerySource.h"
#include "maintenance/MaintenanceController.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

using namespace korvid;
using korvid::test::choose;

namespace {

QString recovery(test::Harness& h, const QString& database) {
    db::BatchResult r;
    h.execute(QStringLiteral("master"),
              QStringLiteral("SELECT DATABASEPROPERTYEX(N'%1', 'Recovery')").arg(database), &r);
    return r.resultSets.value(0).rows.value(0).value(0);
}

qint64 sizeOf(const QString& path) {
    return QFileInfo(path).size();
}

}  // namespace

class ServerVersionsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString folder(const QString& sub) { return dir_.path() + QLatin1Char('/') + sub + '/'; }

    // A stand-in of the given release, logged in to through the real dialog.
    bool loginTo(test::Harness& h, const QString& version, QStringList more = {}) {
        h.server().setExtraArguments(QStringList{"--server-version", version} + more);
        return h.startServer() && h.login() != nullptr;
    }

    // Auto attach over folder, which must stop at its only file: the box names the file and
    // carries the server's number.
    void attachStopsWith(test::Harness& h, const QString& folder, const QString& number) {
        QCOMPARE(h.searchFolder(folder), 1);
        QVERIFY(!h.autoAttachAll());
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(
            boxes[0].text.contains(QStringLiteral("无法附加：") + h.search().table().fullPath(0)));
        QVERIFY2(boxes[0].detail.contains(number), qPrintable(boxes[0].detail));
    }

private slots:
    void wholeRoad_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("2000") << QStringLiteral("8.0");
        QTest::newRow("2019") << QStringLiteral("15.0");
    }
    void wholeRoad() {
        QFETCH(QString, version);
        test::Harness h;
        QVERIFY(loginTo(h, version));
        const QString found = folder("road" + version);
        const QString data = h.createDatabase(QStringLiteral("road"), found);
        const QString log = h.logFileOf(QStringLiteral("road"), found);
        QVERIFY(!data.isEmpty());
        QCOMPARE(h.searchFolder(found), 1);
        QVERIFY(h.autoAttachAll());
        // Found again, the file says so: the server's file list as its release keeps it.
        QCOMPARE(h.searchFolder(found), 1);
        QCOMPARE(h.search().table().markText(0), QStringLiteral("已附加：road"));
        QVERIFY(h.selectDatabase(QStringLiteral("road")));
        const QString model = recovery(h, QStringLiteral("road"));
        const qint64 logBefore = sizeOf(log), dataBefore = sizeOf(data);
        choose(h.window().maintenanceControls().shrinkLogAction);
        choose(h.window().maintenanceControls().shrinkDatabaseAction);
        QVERIFY2(sizeOf(log) < logBefore, qPrintable(QString::number(sizeOf(log))));
        QVERIFY2(sizeOf(data) < dataBefore, qPrintable(QString::number(sizeOf(data))));
        QCOMPARE(recovery(h, QStringLiteral("road")), model);  // FULL stays FULL
        QCOMPARE(model, QStringLiteral("FULL"));
        choose(h.window().maintenanceControls().detachAction);
        QVERIFY(!h.listedDatabases().contains(QStringLiteral("road")));
        QStringList texts;
        for (const MessageRecord& m : h.takeMessages()) texts << m.text;
        QCOMPARE(texts, (QStringList{"全部附加完成！", "日志文件收缩成功！", "数据库收缩成功！",
                                     "分离数据库 road 成功！"}));
    }

    void aFailedShrinkPutsTheModelBack() {
        test::Harness h;
        QVERIFY(loginTo(h, "15.0", {"--fail-shrink", "stuck_log"}));
        QVERIFY(!h.createDatabase(QStringLiteral("stuck"), folder("stuck"), false).isEmpty());
        h.window().databaseList()->refresh();
        QVERIFY(h.selectDatabase(QStringLiteral("stuck")));
        choose(h.window().maintenanceControls().shrinkLogAction);
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, MsgIcon::Critical);  // the server's reason, no success
        QCOMPARE(recovery(h, QStringLiteral("stuck")), QStringLiteral("FULL"));
    }

    void attachFailuresCarryTheServersNumber() {
        // A file written by SQL Server 2000, refused by 2019.
        {
            test::Harness old;
            old.server().setExtraArguments({"--server-version", "8.0"});
            QVERIFY(old.startServer());
            QVERIFY(!old.createDatabase(QStringLiteral("from2000"), folder("old")).isEmpty());
        }
        test::Harness h;
        QVERIFY(loginTo(h, "15.0"));
        attachStopsWith(h, folder("old"), QStringLiteral("Msg 950"));
        // A name the server has already.
        QVERIFY(!h.createDatabase(QStringLiteral("twice"), folder("dup")).isEmpty());
        QVERIFY(!h.createDatabase(QStringLiteral("twice"), folder("dup_other"), false).isEmpty());
        attachStopsWith(h, folder("dup"), QStringLiteral("Msg 1801"));
    }

    void aFolderTheServersAccountCannotRead() {
        test::Harness h;
        h.server().setExtraArguments({"--server-version", "15.0"});
        QVERIFY(h.startServer());
        QVERIFY(!h.createDatabase(QStringLiteral("locked"), folder("locked")).isEmpty());
        h.server().setExtraArguments(
            {"--server-version", "15.0", "--unreadable", folder("locked")});
        QVERIFY(h.server().restart());
        QVERIFY(h.login() != nullptr);
        attachStopsWith(h, folder("locked"), QStringLiteral("Operating system error 5"));
        QVERIFY(h.takeMessages().isEmpty());
    }
};

QTEST_MAIN(ServerVersionsTest)
#include "ServerVersionsTest.moc"
