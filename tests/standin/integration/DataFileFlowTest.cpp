// The data-file statements Korvid sends, through its own client path, and a server killed in
// the middle of them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "OdbcClient.h"
#include "StandinProcess.h"
#include "TdsClient.h"

using korvid::test::OdbcClient;
using korvid::test::StandinProcess;
using korvid::test::TdsClient;

namespace {

const QString kList = QStringLiteral("select name  from sysdatabases ORDER BY name");

QStringList firstColumn(const std::vector<QStringList>& rows) {
    QStringList out;
    for (const auto& r : rows) out << r.value(0).trimmed();
    return out;
}

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(files_.isValid());
        ASSERT_TRUE(server_.start());
    }
    QString file(const QString& name) const { return QDir(files_.path()).filePath(name); }
    bool connect(OdbcClient& c, const QString& database = QStringLiteral("master")) {
        return c.connect(
            OdbcClient::connectionString(server_.port(), QStringLiteral("pw"), database));
    }
    QStringList databases() {
        OdbcClient c;
        std::vector<QStringList> rows;
        if (!connect(c) || !c.query(kList, &rows)) return {QStringLiteral("<no list>")};
        return firstColumn(rows);
    }
    bool run(const QString& sql, std::vector<std::vector<QStringList>>* results = nullptr,
             OdbcClient* on = nullptr) {
        OdbcClient own;
        OdbcClient& c = on ? *on : own;
        if (!on && !connect(c)) return false;
        return c.execAll(sql, results);
    }
    QString create(const QString& name) {
        return QStringLiteral(
                   "CREATE DATABASE %1 ON (NAME = %1, FILENAME = '%2') LOG ON "
                   "(NAME = %1_log, FILENAME = '%3')")
            .arg(name, file(name + ".mdf"), file(name + "_log.ldf"));
    }
    QTemporaryDir files_;
    StandinProcess server_;
};

}  // namespace

TEST_F(DataFiles, CreateDetachInspectAttachAndShrink) {
    ASSERT_TRUE(run(create(QStringLiteral("shop"))));
    EXPECT_TRUE(databases().contains(QStringLiteral("shop")));
    ASSERT_TRUE(run(QStringLiteral("EXEC sp_detach_db @dbname = 'shop'")));
    EXPECT_FALSE(databases().contains(QStringLiteral("shop")));

    // The header of the detached primary file: name, then the recorded files.
    const QString mdf = file(QStringLiteral("shop.mdf"));
    const QString ldf = file(QStringLiteral("shop_log.ldf"));
    std::vector<std::vector<QStringList>> two, three;
    ASSERT_TRUE(run(QStringLiteral("dbcc checkprimaryfile (N'%1',2) ").arg(mdf), &two));
    ASSERT_FALSE(two.empty());
    ASSERT_GE(two[0].size(), 1u);
    EXPECT_EQ(two[0][0].value(1).trimmed(), QStringLiteral("shop"));
    ASSERT_TRUE(run(QStringLiteral("dbcc checkprimaryfile (N'%1',3) ").arg(mdf), &three));
    ASSERT_FALSE(three.empty());
    ASSERT_GE(three[0].size(), 2u);
    EXPECT_EQ(three[0][0].value(3).trimmed(), mdf);
    EXPECT_EQ(three[0][1].value(3).trimmed(), ldf);

    ASSERT_TRUE(run(QStringLiteral("sp_attach_db  N'shop', N'%1', N'%2'").arg(mdf, ldf)));
    EXPECT_TRUE(databases().contains(QStringLiteral("shop")));
    // The same name twice is refused and changes nothing.
    OdbcClient again;
    ASSERT_TRUE(connect(again));
    EXPECT_FALSE(
        run(QStringLiteral("sp_attach_db  N'shop', N'%1', N'%2'").arg(mdf, ldf), nullptr, &again));
    EXPECT_TRUE(again.hasNative(1801));

    // Shrinking the log and the data file inside the database.
    {
        OdbcClient c;
        ASSERT_TRUE(connect(c, QStringLiteral("shop")));
        std::vector<QStringList> rows;
        ASSERT_TRUE(c.query(QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 2)"), &rows));
        ASSERT_EQ(rows.size(), 1u);
        const QString logName = rows[0].value(0).trimmed();
        EXPECT_TRUE(
            c.execAll(QStringLiteral("BACKUP LOG shop WITH TRUNCATE_ONLY DBCC SHRINKFILE (%1)")
                          .arg(logName)));
        rows.clear();
        ASSERT_TRUE(c.query(QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 1)"), &rows));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(
            c.execAll(QStringLiteral("BACKUP LOG shop WITH TRUNCATE_ONLY DBCC SHRINKFILE (%1)")
                          .arg(rows[0].value(0).trimmed())));
    }

    // Attach without the log file: the server makes a new one.
    ASSERT_TRUE(run(QStringLiteral("EXEC sp_detach_db @dbname = 'shop'")));
    ASSERT_TRUE(QFile::remove(ldf));
    run(QStringLiteral("sp_attach_single_file_db  N'shop', N'%1'").arg(mdf));
    EXPECT_TRUE(databases().contains(QStringLiteral("shop")));
}

TEST_F(DataFiles, ASessionHoldsItsDatabaseUntilItsConnectionCloses) {
    ASSERT_TRUE(run(create(QStringLiteral("held"))));
    const QString detach = QStringLiteral("EXEC sp_detach_db @dbname = 'held'");
    {
        TdsClient holder;
        ASSERT_TRUE(holder.connectTo(server_.port()));
        ASSERT_TRUE(holder.login("sa", "pw", "held"));
        OdbcClient c;
        ASSERT_TRUE(connect(c));
        EXPECT_FALSE(c.execAll(detach));
        EXPECT_TRUE(c.hasNative(3703));
    }
    // The holder's socket is gone; the server notices and releases the database.
    bool detached = false;
    for (int i = 0; i < 50 && !detached; ++i) {
        OdbcClient c;
        ASSERT_TRUE(connect(c));
        detached = c.execAll(detach) && !c.hasNative(3703);
        if (!detached) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(detached);
    EXPECT_FALSE(databases().contains(QStringLiteral("held")));
}

TEST_F(DataFiles, OneResultLargerThanAPacket) {
    // Thirty databases make the login probe's result span several 4096-byte packets.
    QStringList made;
    for (int i = 0; i < 30; ++i) {
        made << QStringLiteral("u_database_with_a_long_name_%1").arg(i, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(run(create(made.last())));
    }
    const QString probe = QStringLiteral("SELECT * FROM sysdatabases WHERE (name >= N'u')");
    TdsClient raw;
    ASSERT_TRUE(raw.connectTo(server_.port()));
    ASSERT_TRUE(raw.login("sa", "pw"));
    raw.sendBatch(probe.toStdString());
    const auto reply = raw.readReply();
    ASSERT_TRUE(reply);
    ASSERT_GT(reply->tokens.size(), 4096u);

    OdbcClient c;
    ASSERT_TRUE(connect(c));
    std::vector<QStringList> rows;
    ASSERT_TRUE(c.query(probe, &rows));
    QStringList names = firstColumn(rows);
    names.sort();
    EXPECT_EQ(names, made);
}

TEST_F(DataFiles, KilledAtAnyMomentTheCatalogStillOpens) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 6; ++round) {
        const qint64 pid = server_.pid();
        ASSERT_GT(pid, 0);
        std::atomic<bool> stop{false};
        // The killer strikes at a random moment while the loop below is busy.
        std::thread killer([&, delay = std::uniform_int_distribution<int>(5, 400)(random)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            stop = true;
        });
        for (int i = 0; !stop && i < 200; ++i) {
            const QString name = QStringLiteral("k%1_%2").arg(round).arg(i % 3);
            OdbcClient c;
            if (!connect(c)) break;
            c.execAll(create(name));
            c.execAll(QStringLiteral("EXEC sp_detach_db @dbname = '%1'").arg(name));
            c.execAll(QStringLiteral("sp_attach_db  N'%1', N'%2', N'%3'")
                          .arg(name, file(name + ".mdf"), file(name + "_log.ldf")));
        }
        killer.join();
        server_.kill();
        ASSERT_TRUE(server_.start()) << "round " << round;
        const QStringList names = databases();
        ASSERT_GE(names.size(), 4) << names.join(',').toStdString();
        for (const char* system : {"master", "model", "msdb", "tempdb"}) {
            EXPECT_TRUE(names.contains(QLatin1String(system))) << "round " << round;
        }
        // Every database the catalog lists can be opened and knows its primary file.
        for (const QString& name : names) {
            if (!name.startsWith(QLatin1Char('k'))) continue;
            OdbcClient c;
            ASSERT_TRUE(connect(c, name)) << name.toStdString();
            std::vector<QStringList> rows;
            EXPECT_TRUE(
                c.query(QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 1)"), &rows))
                << name.toStdString();
            EXPECT_EQ(rows.size(), 1u) << name.toStdString();
        }
        // The files of every database the catalog does not list can be attached again, unless
        // the kill came before its primary file was whole.
        for (int i = 0; i < 3; ++i) {
            const QString name = QStringLiteral("k%1_%2").arg(round).arg(i);
            if (names.contains(name) || !QFile::exists(file(name + ".mdf"))) continue;
            std::vector<std::vector<QStringList>> results;
            ASSERT_TRUE(
                run(QStringLiteral("DBCC CHECKPRIMARYFILE (N'%1', 0)").arg(file(name + ".mdf")),
                    &results))
                << name.toStdString();
            if (results.empty() || results[0].empty() || results[0][0].value(0) != "1") continue;
            EXPECT_TRUE(run(QStringLiteral("sp_attach_db  N'%1', N'%2', N'%3'")
                                .arg(name, file(name + ".mdf"), file(name + "_log.ldf"))))
                << "round " << round << ": " << name.toStdString();
        }
    }
    // And the server still does its work after all that.
    ASSERT_TRUE(run(create(QStringLiteral("after"))));
    EXPECT_TRUE(databases().contains(QStringLiteral("after")));
}
