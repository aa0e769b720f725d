// Korvid against the stand-in playing SQL Server 2000 and 2019: the whole road with files that
// really get smaller, the recovery model a shrink leaves as it found it (also when the shrink
// fails), and attach failures that reach the person with the server's own number.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "Harness.h"
#include "access/QuerySource.h"
#include "access/SqlText.h"
#include "attach/AttachTexts.h"
#include "maintenance/MaintenanceController.h"
#include "maintenance/MaintenanceTexts.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

using namespace korvid;
using korvid::test::choose;

namespace {

// A database whose data and log files take their logical names (the first of each list the
// primary and the first log), made in folder and detached when asked.
bool createFiles(test::Harness& h, const QString& name, const QString& folder,
                 const QStringList& data, const QStringList& logs, bool detach = true) {
    QDir().mkpath(folder);
    auto specs = [&](const QStringList& names, const QString& first, const QString& rest) {
        QStringList out;
        for (const QString& n : names)
            out << QStringLiteral("(NAME=%1, FILENAME=%2, SIZE=1MB)")
                       .arg(nLiteral(n), nLiteral(folder + n + (out.isEmpty() ? first : rest)));
        return out.join(QLatin1Char(','));
    };
    return h.execute(QStringLiteral("master"),
                     QStringLiteral("CREATE DATABASE %1 ON %2 LOG ON %3")
                         .arg(bracketed(name), specs(data, ".mdf", ".ndf"),
                              specs(logs, ".ldf", ".ldf"))) &&
           (!detach ||
            h.execute(QStringLiteral("master"), QStringLiteral("sp_detach_db ") + nLiteral(name)));
}

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
    // its details carry the server's number and every other text given.
    void attachStopsWith(test::Harness& h, const QString& folder, const QStringList& details) {
        QCOMPARE(h.searchFolder(folder), 1);
        QVERIFY(!h.autoAttachAll());
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(
            boxes[0].text.contains(QStringLiteral("无法附加：") + h.search().table().fullPath(0)));
        for (const QString& d : details)
            QVERIFY2(boxes[0].detail.contains(d), qPrintable(boxes[0].detail));
    }

private slots:
    void wholeRoad_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("2000") << QStringLiteral("8.0");
        QTest::newRow("2005, the login encrypted") << QStringLiteral("9.0");
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

    // A shrink that frees nothing, or fails, is no success: one critical box with the server's
    // own words (the original number also where 2008 R2 can only re-raise 50000, a "%" intact),
    // and the recovery model as it was.
    void aShrinkThatFreesNothingOrFails_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("hook");
        QTest::addColumn<bool>("log");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("details");
        const QString end = QStringLiteral("located at the end of the file is in use.");
        QTest::newRow("held log, 2019")
            << "15.0" << QStringList{"--hold-log", "held"} << true
            << maintenance::notShrunkText(maintenance::ShrinkKind::Log)
            << QStringList{
                   "Cannot shrink log file 2 (held_log) because the logical log file " + end,
                   "Msg 9008", maintenance::notShrunkSizeText(128)};
        QTest::newRow("held log, 2000")
            << "8.0" << QStringList{"--hold-log", "held"} << true
            << maintenance::notShrunkText(maintenance::ShrinkKind::Log)
            << QStringList{"because all logical log files are in use.", "Msg 9008"};
        QTest::newRow("shrink fails, 2019")
            << "15.0" << QStringList{"--fail-shrink", "held_log"} << true
            << QStringLiteral(
                   "Backup, file manipulation operations (such as ALTER DATABASE ADD "
                   "FILE) and encryption changes on a database must be serialized. "
                   "Reissue the statement after the current backup or file "
                   "manipulation operation is completed.")
            << QStringList{"Msg 3023, Level 16"};
        const QString unmovable =
            QStringLiteral("Could not adjust the space allocation for file 'held%d'.");
        QTest::newRow("shrink fails, 2019, %")
            << "15.0" << QStringList{"--unmovable", "held%d"} << false << unmovable
            << QStringList{"Msg 3140, Level 16"};
        QTest::newRow("shrink fails, 2008 R2, %")
            << "10.50" << QStringList{"--unmovable", "held%d"} << false << unmovable
            << QStringList{"Msg 3140, Level 16, State 1"};
    }
    void aShrinkThatFreesNothingOrFails() {
        QFETCH(QString, version);
        QFETCH(QStringList, hook);
        QFETCH(bool, log);
        QFETCH(QString, text);
        QFETCH(QStringList, details);
        test::Harness h;
        QVERIFY(loginTo(h, version, hook));
        static int row = 0;
        const QString where = folder(QStringLiteral("held%1").arg(++row));
        QVERIFY(createFiles(h, "held", where, {"held%d"}, {"held_log"}, false));
        h.window().databaseList()->refresh();
        QVERIFY(h.selectDatabase(QStringLiteral("held")));
        const auto& c = h.window().maintenanceControls();
        choose(log ? c.shrinkLogAction : c.shrinkDatabaseAction);
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, MsgIcon::Critical);
        QCOMPARE(boxes[0].text, text);
        for (const QString& d : details)
            QVERIFY2(boxes[0].detail.contains(d), qPrintable(boxes[0].detail));
        QCOMPARE(recovery(h, QStringLiteral("held")), QStringLiteral("FULL"));
    }

    // Two data files and two logs, moved together and found: attached whole, every file from
    // where it was found. With one of them gone, the failure's details name it.
    void aDatabaseOfFourFiles_data() { wholeRoad_data(); }
    void aDatabaseOfFourFiles() {
        QFETCH(QString, version);
        test::Harness h;
        QVERIFY(loginTo(h, version));
        const QString made = folder("made" + version), found = folder("found" + version);
        const QStringList files{"four.mdf", "four_2.ndf", "four_log.ldf", "four_log2.ldf"};
        QVERIFY(createFiles(h, "four", made, {"four", "four_2"}, {"four_log", "four_log2"}));
        QDir().mkpath(found);
        for (const QString& f : files) QVERIFY(QFile::rename(made + f, found + f));
        QCOMPARE(h.searchFolder(found), 1);
        QVERIFY(h.autoAttachAll());
        db::BatchResult r;
        QVERIFY(h.execute("four", "SELECT filename FROM sysfiles ORDER BY fileid", &r));
        QStringList attached;
        for (const QStringList& row : r.resultSets.value(0).rows)
            attached << row.value(0).trimmed();
        QCOMPARE(attached, (QStringList{found + files[0], found + files[2], found + files[1],
                                        found + files[3]}));
        QVERIFY(h.execute("master", "sp_detach_db N'four'"));
        QVERIFY(QFile::remove(found + files[1]));
        h.takeMessages();
        attachStopsWith(
            h, found,
            {attach::furtherFileMissingText("four_2", found + files[1], found + files[1])});
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
        attachStopsWith(h, folder("old"), {"Msg 950", attach::upgradeElsewhereText()});
        // A name the server has already.
        QVERIFY(!h.createDatabase(QStringLiteral("twice"), folder("dup")).isEmpty());
        QVERIFY(!h.createDatabase(QStringLiteral("twice"), folder("dup_other"), false).isEmpty());
        attachStopsWith(h, folder("dup"), {"Msg 1801"});
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
        attachStopsWith(h, folder("locked"), {"Operating system error 5"});
        QVERIFY(h.takeMessages().isEmpty());
    }
};

QTEST_MAIN(ServerVersionsTest)
#include "ServerVersionsTest.moc"
