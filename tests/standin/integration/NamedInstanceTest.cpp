// HOST\NAME the way clients reach it: FreeTDS asks the browser on UDP 1434 of the host for the
// instance's port, then logs in there. Port 1434 is the protocol's own, so ctest runs this test
// alone among those that take it.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QThread>

#include "OdbcClient.h"
#include "StandinProcess.h"
#include "Tsql.h"

using korvid::test::OdbcClient;
using korvid::test::StandinProcess;

TEST(NamedInstance, FreeTdsFindsTheInstanceThroughTheBrowser) {
    StandinProcess server;
    server.setExtraArguments({"--instance", "KORVIDTEST", "--browser", "--encryption", "login"});
    // Another test run on this machine may hold the port for a while: wait for it, bounded.
    const QDeadlineTimer deadline(60000);
    while (!server.start()) {
        ASSERT_FALSE(deadline.hasExpired()) << "UDP 127.0.0.1:1434 stayed taken";
        QThread::msleep(1000);
    }
    ASSERT_EQ(server.browserPort(), 1434);

    // Korvid's own path: the ODBC driver, no port, the instance after the host.
    OdbcClient odbc;
    ASSERT_TRUE(
        odbc.connect(QStringLiteral("DRIVER=FreeTDS;SERVER=127.0.0.1\\KORVIDTEST;UID=sa;"
                                    "PWD=pw;DATABASE=master;TDS_Version=7.1")));
    std::vector<QStringList> rows;
    ASSERT_TRUE(odbc.query(QStringLiteral("select name  from sysdatabases ORDER BY name"), &rows));
    EXPECT_EQ(rows.size(), 4u);

    // tsql, with the name in another case.
    QProcess p;
    korvid::test::startTsql(p, {"-S", "127.0.0.1\\korvidtest"}, QStringLiteral("pw"));
    p.write("select name  from sysdatabases ORDER BY name\ngo\n");
    const korvid::test::TsqlRun r = korvid::test::finishTsql(p);
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QLatin1String("tempdb"))) << qPrintable(r.out);
}
