// Batches against tds-standin through the real driver: every result set and message is read,
// an error anywhere in the batch is raised with the server's words, the connection stays usable,
// and Chinese text and long values arrive whole.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>

#include "NoServer.h"
#include "StandinProcess.h"
#include "access/ModalMoments.h"
#include "access/ServerAccess.h"
#include "db/Connection.h"

using namespace korvid;
using korvid::test::GivenCredentials;
using korvid::test::StandinProcess;

namespace {

ModalMoments& moments() {
    static ModalMoments gate;
    return gate;
}

class ServerBatch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new StandinProcess(QStringLiteral("s3cret"));
        ASSERT_TRUE(server_->start());
        login_ = new GivenCredentials(server_->server(), server_->password());
    }
    static void TearDownTestSuite() {
        delete login_;
        delete server_;
        server_ = nullptr;
    }
    static ServerAccess access() { return ServerAccess(*login_, moments()); }
    static db::Connection open() { return access().open(ConnectionShape::server()); }
    static StandinProcess* server_;
    static GivenCredentials* login_;
};

StandinProcess* ServerBatch::server_ = nullptr;
GivenCredentials* ServerBatch::login_ = nullptr;

}  // namespace

TEST_F(ServerBatch, EveryResultSetAndMessageIsRead) {
    db::Connection c = open();
    const db::BatchResult r = c.execute(QStringLiteral(
        "SELECT N'a' AS first PRINT 'between' SELECT N'b' AS second, N'c' AS third"));
    ASSERT_EQ(r.resultSets.size(), 2);
    EXPECT_EQ(r.resultSets[0].columns, QStringList{QStringLiteral("first")});
    EXPECT_EQ(r.resultSets[0].rows, QList<QStringList>{{QStringLiteral("a")}});
    EXPECT_EQ(r.resultSets[1].columns,
              (QStringList{QStringLiteral("second"), QStringLiteral("third")}));
    ASSERT_EQ(r.infos.size(), 1);
    EXPECT_EQ(r.infos[0].text, QStringLiteral("between"));

    // Batches with no rows and no messages at all (the driver answers SQL_NO_DATA) succeed.
    for (const QString& batch : {QStringLiteral("SET NOCOUNT ON"), QStringLiteral("BEGIN TRAN"),
                                 QStringLiteral("ROLLBACK SET NOCOUNT OFF")}) {
        SCOPED_TRACE(batch.toStdString());
        const db::BatchResult quiet = c.execute(batch);
        EXPECT_TRUE(quiet.resultSets.isEmpty());
        EXPECT_TRUE(quiet.infos.isEmpty());
    }
}

TEST_F(ServerBatch, AnErrorAnywhereInTheBatchIsRaisedAndTheConnectionStaysUsable) {
    db::Connection c = open();
    for (const QString& batch :
         {QStringLiteral("EXEC no_such_proc"), QStringLiteral("SELECT N'a' AS x EXEC no_such_proc"),
          QStringLiteral("SELECT N'a' AS x EXEC no_such_proc SELECT N'b' AS y")}) {
        SCOPED_TRACE(batch.toStdString());
        try {
            c.execute(batch);
            ADD_FAILURE() << "no error raised";
        } catch (const db::DbError& e) {
            EXPECT_EQ(e.number(), 2812);
            EXPECT_EQ(e.primary().severity, 16);
            EXPECT_EQ(e.serverText(),
                      QStringLiteral("Could not find stored procedure 'no_such_proc'."));
        }
        const db::BatchResult after = c.execute(QStringLiteral("SELECT N'still here' AS z"));
        ASSERT_EQ(after.resultSets.size(), 1);
        EXPECT_EQ(after.resultSets[0].rows.value(0).value(0), QStringLiteral("still here"));
    }
}

TEST_F(ServerBatch, ChineseAndLongTextArriveWhole) {
    const QString name = QStringLiteral("财务数据库 2003（备份）");
    const db::ResultSet r = access().query(ConnectionShape::server(),
                                           QStringLiteral("SELECT N'%1' AS 数据库名称").arg(name));
    EXPECT_EQ(r.columns, QStringList{QStringLiteral("数据库名称")});
    EXPECT_EQ(r.rows.value(0).value(0), name);

    // Longer than one read of a cell: it must come in pieces and be joined.
    QString longText;
    for (int i = 0; i < 3000; ++i) longText += QChar(0x4E00 + i % 500);
    const db::ResultSet l = access().query(ConnectionShape::server(),
                                           QStringLiteral("SELECT N'%1' AS t").arg(longText));
    EXPECT_EQ(l.rows.value(0).value(0).size(), longText.size());
    EXPECT_EQ(l.rows.value(0).value(0), longText);
}

TEST_F(ServerBatch, WaysOneAndThreeOpenTheirOwnConnection) {
    EXPECT_TRUE(access()
                    .query(ConnectionShape::server(), QStringLiteral("PRINT 'no rows'"))
                    .columns.isEmpty());
    const db::BatchResult r =
        access().execute(ConnectionShape::server(), QStringLiteral("PRINT 'done'"));
    ASSERT_EQ(r.infos.size(), 1);
    EXPECT_EQ(r.infos[0].text, QStringLiteral("done"));
    const GivenCredentials wrong(server_->server(), QStringLiteral("wrong"));
    EXPECT_THROW(ServerAccess(wrong, moments())
                     .execute(ConnectionShape::server(), QStringLiteral("PRINT 'x'")),
                 db::DbError);
}

TEST(ServerLogin, AwkwardPasswordsLogIn) {
    if (StandinProcess::external()) GTEST_SKIP() << "needs servers of its own passwords";
    for (const QString& password : {QStringLiteral("x;Initial Catalog=model"),
                                    QStringLiteral("q'\"z }"), QStringLiteral(" 密码 ")}) {
        SCOPED_TRACE(password.toStdString());
        StandinProcess server(password);
        ASSERT_TRUE(server.start());
        GivenCredentials login(server.server(), password);
        const db::ResultSet r =
            ServerAccess(login, moments())
                .query(ConnectionShape::login(),
                       QStringLiteral("SELECT * FROM sysdatabases WHERE (name >= N'u')"));
        EXPECT_FALSE(r.columns.isEmpty());
        try {
            const QString near = password.trimmed() != password
                                     ? password.trimmed()
                                     : password.left(password.size() - 1);
            GivenCredentials nearLogin(server.server(), near);
            ServerAccess(nearLogin, moments())
                .query(ConnectionShape::login(), QStringLiteral("SELECT N'x' AS x"));
            ADD_FAILURE() << "a changed password logged in";
        } catch (const db::DbError& e) {
            EXPECT_EQ(e.number(), 18456);
            EXPECT_EQ(e.serverText(), QStringLiteral("Login failed for user 'sa'."));
        }
    }
}

// The shrink's batch is chosen by the major version: the driver's (from the login) and the
// server's own answer, asked when the driver cannot say, agree on every release; under Wine, on
// the release of the one server the suites share.
TEST(ServerVersion, TheDriverAndTheServerNameTheSameMajorVersion) {
    const auto open = [](const StandinProcess& server) {
        return db::Connection::open(
            ConnectionShape::server().odbcText(server.server(), server.password()));
    };
    if (StandinProcess::external()) {
        StandinProcess server;
        ASSERT_TRUE(server.start());
        db::Connection c = open(server);
        EXPECT_EQ(c.serverMajorVersion(), c.productMajorVersion());
        return;
    }
    const std::pair<const char*, int> releases[] = {
        {"8.0", 8}, {"9.0", 9}, {"10.50", 10}, {"15.0", 15}};
    for (const auto& [release, major] : releases) {
        StandinProcess server;
        server.setExtraArguments({QStringLiteral("--server-version"), QLatin1String(release)});
        ASSERT_TRUE(server.start());
        db::Connection c = open(server);
        EXPECT_EQ(c.serverMajorVersion(), major) << release;
        EXPECT_EQ(c.productMajorVersion(), major) << release;
    }
}

// A wait that gave up leaves its job running; the job is waited for when the workers go, so no
// thread outlives what it was given.
TEST(ServerWait, AJobGivenUpOnIsWaitedForWhenTheWorkersGo) {
    auto ended = std::make_shared<std::atomic<bool>>(false);
    {
        ServerWait wait(moments());
        EXPECT_THROW(wait.run([ended] { QThread::msleep(1300), ended->store(true); }, 1),
                     db::DbError);
        EXPECT_FALSE(ended->load());
    }
    EXPECT_TRUE(ended->load());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
