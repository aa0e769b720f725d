// tds-standin playing other releases, through Korvid's own client path (unixODBC with FreeTDS)
// and its command line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "OdbcClient.h"
#include "StandinProcess.h"

using korvid::test::OdbcClient;
using korvid::test::StandinProcess;

namespace {

QString firstValue(OdbcClient& c, const QString& sql) {
    std::vector<QStringList> rows;
    if (!c.query(sql, &rows) || rows.empty()) return QStringLiteral("<none>");
    return rows[0].value(0).trimmed();
}

QString diagnosticsText(const OdbcClient& c) {
    QString all;
    for (const auto& d : c.diagnostics()) all += QString::number(d.native) + ' ' + d.text + '\n';
    return all;
}

}  // namespace

TEST(ServerVersionCommandLine, HelpListsEveryOptionAndAnUnknownReleaseIsRefused) {
    QProcess help;
    StandinProcess::dieWithParent(help);
    help.start(StandinProcess::binaryPath(), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(10000));
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char* option : {"--data", "--port", "--sa-password", "--server-version",
                               "--unreadable", "--fail-shrink", "--tls-floor", "--state"})
        EXPECT_TRUE(text.contains(QLatin1String(option))) << option;

    // Command lines that cannot run: status 2 for the line itself, 1 for what it names.
    QTemporaryDir dir;
    struct Case {
        QStringList arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"--server-version", "11.0"}, 2, "8.0, 9.0, 10.50, 15.0, 16.0"},
        {{"--tls-floor", "1.0"}, 2, "--tls-floor needs --encryption"},  // 2000 has no certificate
        {{"--server-version", "9.0", "--tls-floor", "1.1"}, 2, "--tls-floor is 1.0"},
        {{"--state", "shop=GONE"}, 2, "--state is NAME=OFFLINE"},
        {{"--state", "nosuch=OFFLINE"}, 1, "no user database 'nosuch'"},
    };
    for (const Case& c : cases) {
        QProcess refused;
        StandinProcess::dieWithParent(refused);
        refused.start(StandinProcess::binaryPath(),
                      QStringList{"--data", dir.path(), "--port", "0"} + c.arguments);
        ASSERT_TRUE(refused.waitForFinished(10000));
        EXPECT_EQ(refused.exitCode(), c.status) << qPrintable(c.arguments.join(' '));
        EXPECT_TRUE(refused.readAllStandardError().contains(c.says))
            << qPrintable(c.arguments.join(' '));
    }
}

TEST(ServerVersions, EachReleaseAsTheDriverSeesIt) {
    struct Row {
        const char* version;
        const char* dbmsVer;  // SQL_DBMS_VER, from LOGINACK
        const char* productVersion;
        SQLINTEGER unreadable;  // attach of a file the account cannot read
        const char* unreadableText;
    } rows[] = {
        {"8.0", "08.00.2039", "8.00.2039", 5105, "Device activation error."},
        {"15.0", "15.00.4236", "15.0.4236.7", 5120,
         "Operating system error 5: \"5(Access is denied.)\"."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        QTemporaryDir files;
        const QString locked = QDir(files.path()).filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkpath(locked));
        StandinProcess server;
        server.setExtraArguments({QStringLiteral("--server-version"), QLatin1String(row.version),
                                  QStringLiteral("--unreadable"), locked + '/'});
        ASSERT_TRUE(server.start());
        OdbcClient c;
        ASSERT_TRUE(c.connect(OdbcClient::connectionString(server.port(), QStringLiteral("pw"))));
        char dbmsVer[64] = {};
        SQLSMALLINT len = 0;
        SQLGetInfo(c.dbc(), SQL_DBMS_VER, dbmsVer, sizeof dbmsVer, &len);
        EXPECT_STREQ(dbmsVer, row.dbmsVer);
        EXPECT_EQ(firstValue(c, QStringLiteral("SELECT SERVERPROPERTY('ProductVersion')")),
                  QLatin1String(row.productVersion));

        const QString mdf = QDir(files.path()).filePath(QStringLiteral("shop.mdf"));
        ASSERT_TRUE(c.execAll(QStringLiteral("CREATE DATABASE shop ON (NAME = shop, FILENAME = "
                                             "'%1') EXEC sp_detach_db shop")
                                  .arg(mdf)))
            << diagnosticsText(c).toStdString();
        ASSERT_TRUE(QFile::rename(mdf, locked + QStringLiteral("/shop.mdf")));
        EXPECT_FALSE(
            c.execAll(QStringLiteral("sp_attach_single_file_db shop, '%1/shop.mdf'").arg(locked)));
        EXPECT_TRUE(c.hasNative(row.unreadable)) << diagnosticsText(c).toStdString();
        EXPECT_TRUE(diagnosticsText(c).contains(QLatin1String(row.unreadableText)))
            << diagnosticsText(c).toStdString();
    }
}

TEST(ServerVersions, AFailingShrinkOn2019StillRestoresTheRecoveryModel) {
    QTemporaryDir files;
    StandinProcess server;
    server.setExtraArguments({QStringLiteral("--server-version"), QStringLiteral("15.0"),
                              QStringLiteral("--fail-shrink"), QStringLiteral("shop_log")});
    ASSERT_TRUE(server.start());
    OdbcClient c;
    ASSERT_TRUE(c.connect(OdbcClient::connectionString(server.port(), QStringLiteral("pw"))));
    ASSERT_TRUE(c.execAll(QStringLiteral("CREATE DATABASE shop ON (NAME = shop, FILENAME = "
                                         "'%1/shop.mdf') LOG ON (NAME = shop_log, FILENAME = "
                                         "'%1/shop_log.ldf')")
                              .arg(files.path())));
    const QString batch = QStringLiteral(
        "DECLARE @m sysname\n"
        "SET @m = CONVERT(sysname, DATABASEPROPERTYEX(N'shop', 'Recovery'))\n"
        "IF @m <> 'SIMPLE' ALTER DATABASE [shop] SET RECOVERY SIMPLE\n"
        "CHECKPOINT\n"
        "BEGIN TRY\n"
        "  DBCC SHRINKFILE ([shop_log])\n"
        "END TRY\n"
        "BEGIN CATCH\n"
        "  IF @m <> 'SIMPLE' EXEC(N'ALTER DATABASE [shop] SET RECOVERY ' + @m);\n"
        "  THROW\n"
        "END CATCH\n"
        "IF @m <> 'SIMPLE' EXEC(N'ALTER DATABASE [shop] SET RECOVERY ' + @m)\n");
    OdbcClient shrink;
    ASSERT_TRUE(shrink.connect(
        OdbcClient::connectionString(server.port(), QStringLiteral("pw"), QStringLiteral("shop"))));
    EXPECT_FALSE(shrink.execAll(batch));
    EXPECT_TRUE(shrink.hasNative(3023)) << diagnosticsText(shrink).toStdString();
    EXPECT_EQ(firstValue(c, QStringLiteral("SELECT DATABASEPROPERTYEX('shop', 'Recovery')")),
              QStringLiteral("FULL"));
}
