// tds-standin through FreeTDS's tsql, the way an administrator would try a server by hand.
#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <iterator>

#include "StandinProcess.h"
#include "TdsClient.h"
#include "Tsql.h"

using korvid::test::StandinProcess;
using korvid::test::TdsClient;
using korvid::test::TsqlRun;

namespace {

const uint8_t kTempdb[] = {'t', 0, 'e', 0, 'm', 0, 'p', 0, 'd', 0, 'b', 0};

TsqlRun tsql(const StandinProcess& server, const QString& password, const QString& sql) {
    return korvid::test::tsql(server.port(), password, sql);
}

void startTsql(QProcess& p, const StandinProcess& server, const QString& password) {
    korvid::test::startTsql(p, korvid::test::hostAndPort(server.port()), password);
}

class Tsql : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.start()); }
    StandinProcess server_;
};

}  // namespace

TEST_F(Tsql, LoginIsRefusedOrAccepted) {
    const TsqlRun refused =
        tsql(server_, "not-the-password", "select name  from sysdatabases ORDER BY name\ngo\n");
    ASSERT_TRUE(refused.finished);
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.err.contains("18456")) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("Login failed for user 'sa'.")) << refused.err.toStdString();

    const TsqlRun accepted =
        tsql(server_, "pw", "select name  from sysdatabases ORDER BY name\ngo\n");
    ASSERT_TRUE(accepted.finished);
    EXPECT_EQ(accepted.exitCode, 0) << accepted.err.toStdString();
    EXPECT_TRUE(accepted.out.contains("master")) << accepted.out.toStdString();
}

TEST_F(Tsql, DatabaseListAndAnErrorInsideABatch) {
    const TsqlRun r = tsql(server_, "pw",
                           "select name  from sysdatabases ORDER BY name\ngo\n"
                           "select name from no_such_table\ngo\n"
                           "select name  from sysdatabases ORDER BY name\ngo\n");
    ASSERT_TRUE(r.finished);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    // Both lists arrive whole and in order, the error between them does not end the session.
    EXPECT_EQ(lines.count(QStringLiteral("master")), 2) << r.out.toStdString();
    const int master = lines.indexOf(QStringLiteral("master"));
    ASSERT_GE(master, 0);
    EXPECT_EQ(lines.value(master + 1), QStringLiteral("model"));
    EXPECT_EQ(lines.value(master + 2), QStringLiteral("msdb"));
    EXPECT_EQ(lines.value(master + 3), QStringLiteral("tempdb"));
    EXPECT_TRUE(r.err.contains("Msg 208")) << r.err.toStdString();
}

TEST_F(Tsql, TwoConnectionsAtOnce) {
    // One session stays logged in while tsql runs a whole session of its own beside it.
    TdsClient held;
    ASSERT_TRUE(held.connectTo(server_.port()));
    ASSERT_TRUE(held.login("sa", "pw"));

    QProcess a, b;
    startTsql(a, server_, "pw");
    startTsql(b, server_, "pw");
    a.write("select name  from sysdatabases ORDER BY name\ngo\n");
    b.write("select name  from sysdatabases ORDER BY name\ngo\n");
    const TsqlRun ra = korvid::test::finishTsql(a);
    const TsqlRun rb = korvid::test::finishTsql(b);
    ASSERT_TRUE(ra.finished && rb.finished);
    EXPECT_EQ(ra.exitCode, 0);
    EXPECT_EQ(rb.exitCode, 0);
    EXPECT_TRUE(ra.out.contains("tempdb"));
    EXPECT_TRUE(rb.out.contains("tempdb"));

    held.sendBatch("select name  from sysdatabases ORDER BY name");
    const auto reply = held.readReply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(std::search(reply->tokens.begin(), reply->tokens.end(), std::begin(kTempdb),
                            std::end(kTempdb)) != reply->tokens.end());
}

TEST(TsqlVersions, A2019ServerGivesItsVersionAndRefusesTruncateOnlyWith155) {
    StandinProcess server;
    server.setExtraArguments({QStringLiteral("--server-version"), QStringLiteral("15.0")});
    ASSERT_TRUE(server.start());
    const TsqlRun r = tsql(server, "pw",
                           "SELECT SERVERPROPERTY('ProductVersion')\ngo\n"
                           "BACKUP LOG [model] WITH TRUNCATE_ONLY SELECT 'not run'\ngo\n"
                           "SELECT 'next batch'\ngo\n");
    ASSERT_TRUE(r.finished);
    EXPECT_TRUE(r.out.contains("15.0.4236.7")) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("Msg 155")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("'TRUNCATE_ONLY' is not a recognized BACKUP option."))
        << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("not run")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("next batch")) << r.out.toStdString();
}
