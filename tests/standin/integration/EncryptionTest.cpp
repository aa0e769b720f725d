// tds-standin with a certificate: logins and sessions under TLS through FreeTDS (tsql and the
// ODBC driver), and handshakes that go wrong.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "OdbcClient.h"
#include "StandinProcess.h"
#include "TdsClient.h"
#include "Tsql.h"
#include "protocol/Prelogin.h"

using korvid::test::FreetdsConfig;
using korvid::test::OdbcClient;
using korvid::test::StandinProcess;
using korvid::test::TdsClient;
using korvid::test::TsqlRun;

namespace {

const QString kList = QStringLiteral("select name  from sysdatabases ORDER BY name\ngo\n");

// The ENCRYPTION byte of a PRELOGIN answer; -1 when there is none.
int encryptionOf(const std::optional<korvid::test::TdsReply>& reply) {
    if (!reply) return -1;
    const auto parsed = standin::parsePrelogin(reply->tokens);
    return parsed && parsed->encryption ? *parsed->encryption : -1;
}

class Encryption : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        login_ = startServer({QStringLiteral("--encryption"), QStringLiteral("login")});
        required_ = startServer({QStringLiteral("--encryption"), QStringLiteral("required")});
    }
    static void TearDownTestSuite() {
        delete login_;
        delete required_;
    }
    static StandinProcess* startServer(const QStringList& arguments) {
        auto* server = new StandinProcess;
        server->setExtraArguments(arguments);
        EXPECT_TRUE(server->start());
        return server;
    }
    void SetUp() override { ASSERT_TRUE(login_->running() && required_->running()); }

    static QString cs(const StandinProcess& server, const QString& extra) {
        return OdbcClient::connectionString(server.port(), QStringLiteral("pw"),
                                            QStringLiteral("master"), extra);
    }

    static StandinProcess* login_;
    static StandinProcess* required_;
};

StandinProcess* Encryption::login_ = nullptr;
StandinProcess* Encryption::required_ = nullptr;

}  // namespace

TEST_F(Encryption, TsqlOnEveryCombinationOfClientAndServer) {
    struct Case {
        StandinProcess* server;
        const char* client;  // freetds.conf "encryption"
        bool logsIn;
        const char* flag;  // what FreeTDS read in the server's PRELOGIN answer
        bool handshake;
    };
    const Case cases[] = {
        {login_, "request", true, "detected crypt flag 0", true},  // the login only
        {login_, "require", true, "detected crypt flag 1", true},  // the whole session
        {login_, "off", true, "detected crypt flag 2", false},     // the clear
        {required_, "request", true, "detected crypt flag 3", true},
        {required_, "require", true, "detected crypt flag 1", true},
        {required_, "off", false, "detected crypt flag 3", false},  // turned away
    };
    for (const Case& c : cases) {
        const QString what = QStringLiteral("%1 server, client %2")
                                 .arg(c.server == login_ ? "login" : "required", c.client);
        const FreetdsConfig config({QStringLiteral("encryption = %1").arg(c.client)});
        // Two batches: after a login-only handshake the session goes on in the clear.
        const TsqlRun r =
            korvid::test::tsql(c.server->port(), QStringLiteral("pw"),
                               kList + "select db_name()\ngo\n", config.environment());
        const QString dump = config.takeDump();
        ASSERT_TRUE(r.finished) << qPrintable(what);
        EXPECT_TRUE(dump.contains(QLatin1String(c.flag))) << qPrintable(what);
        EXPECT_EQ(dump.contains(QLatin1String("handshake succeeded")), c.handshake)
            << qPrintable(what);
        if (c.logsIn) {
            EXPECT_EQ(r.exitCode, 0) << qPrintable(what + r.err);
            const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
            EXPECT_EQ(lines.count(QStringLiteral("master")), 2) << qPrintable(what + r.out);
            EXPECT_TRUE(lines.contains(QStringLiteral("tempdb"))) << qPrintable(what + r.out);
        } else {
            EXPECT_NE(r.exitCode, 0) << qPrintable(what);
            EXPECT_FALSE(r.out.contains(QLatin1String("tempdb"))) << qPrintable(what);
        }
    }
}

TEST_F(Encryption, OdbcSessionEncryptedFromLoginToCancel) {
    OdbcClient c;
    ASSERT_TRUE(c.connect(cs(*required_, QStringLiteral("Encryption=require"))));
    // A reply of many packets, hence many records.
    QString sql;
    for (int i = 0; i < 40; ++i) sql += kList.left(kList.size() - 4) + "\n";
    std::vector<std::vector<QStringList>> results;
    ASSERT_TRUE(c.execAll(sql, &results));
    ASSERT_EQ(results.size(), 40u);
    EXPECT_EQ(results.back().back().value(0), QStringLiteral("tempdb"));
    // Closing after one row sends an attention, answered inside TLS too.
    SQLHSTMT stmt = c.newStatement();
    ASSERT_TRUE(SQL_SUCCEEDED(
        SQLExecDirect(stmt, (SQLCHAR*)"select name  from sysdatabases ORDER BY name", SQL_NTS)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(stmt)));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLFreeStmt(stmt, SQL_CLOSE)));
    c.freeStatement(stmt);
    EXPECT_FALSE(c.query(QStringLiteral("select name from no_such_table")));
    EXPECT_TRUE(c.hasNative(208));
    std::vector<QStringList> rows;
    ASSERT_TRUE(c.query(QStringLiteral("select name  from sysdatabases ORDER BY name"), &rows));
    EXPECT_EQ(rows.size(), 4u);

    // Without an Encryption key the driver asks for encryption: both servers serve it.
    for (StandinProcess* server : {login_, required_}) {
        OdbcClient plain;
        EXPECT_TRUE(plain.connect(cs(*server, {})));
        EXPECT_TRUE(plain.query(QStringLiteral("select db_name()")));
    }
    OdbcClient refused;
    EXPECT_FALSE(refused.connect(cs(*required_, QStringLiteral("Encryption=off"))));
    EXPECT_TRUE(refused.hasNative(20002));
    // A wrong password is told as such, in the clear after a login-only handshake and inside
    // TLS after a whole-session one.
    for (const QString& extra :
         {QStringLiteral("Encryption=request"), QStringLiteral("Encryption=require")}) {
        OdbcClient wrong;
        EXPECT_FALSE(wrong.connect(OdbcClient::connectionString(
            login_->port(), QStringLiteral("wrong"), QStringLiteral("master"), extra)));
        EXPECT_TRUE(wrong.hasNative(18456)) << qPrintable(extra);
    }
}

TEST_F(Encryption, CutOrBrokenHandshakesEndOnlyTheirOwnConnection) {
    {
        // A ClientHello that declares 512 bytes and stops after 16, then the client goes.
        TdsClient cut;
        ASSERT_TRUE(cut.connectTo(login_->port()));
        EXPECT_EQ(encryptionOf(cut.prelogin(standin::EncryptOff)), standin::EncryptOff);
        standin::Bytes hello{0x16, 0x03, 0x01, 0x02, 0x00, 0x01, 0x00, 0x01, 0xFC, 0x03, 0x03};
        hello.resize(16, 0xAA);
        cut.sendMessage(0x12, hello);
    }
    TdsClient garbage;
    ASSERT_TRUE(garbage.connectTo(login_->port()));
    ASSERT_EQ(encryptionOf(garbage.prelogin(standin::EncryptOff)), standin::EncryptOff);
    garbage.sendMessage(0x12, TdsClient::utf16("no TLS record at all"));
    EXPECT_TRUE(garbage.closedByServer());

    // The handshake is not to be skipped, nor the encryption a server insists on.
    TdsClient skipping;
    ASSERT_TRUE(skipping.connectTo(login_->port()));
    ASSERT_EQ(encryptionOf(skipping.prelogin(standin::EncryptOff)), standin::EncryptOff);
    skipping.sendMessage(0x10, TdsClient::login7("sa", "pw", "master", 4096));
    EXPECT_TRUE(skipping.closedByServer());
    TdsClient unable;
    ASSERT_TRUE(unable.connectTo(required_->port()));
    EXPECT_EQ(encryptionOf(unable.prelogin(standin::EncryptNotSup)), standin::EncryptReq);
    EXPECT_TRUE(unable.closedByServer());
    TdsClient noPrelogin;
    ASSERT_TRUE(noPrelogin.connectTo(required_->port()));
    noPrelogin.sendMessage(0x10, TdsClient::login7("sa", "pw", "master", 4096));
    EXPECT_TRUE(noPrelogin.closedByServer());

    // Both servers live on and serve the next clients, in the clear and encrypted.
    TdsClient next;
    ASSERT_TRUE(next.connectTo(login_->port()));
    EXPECT_TRUE(next.login("sa", "pw"));
    const FreetdsConfig request({QStringLiteral("encryption = request")});
    for (StandinProcess* server : {login_, required_}) {
        const TsqlRun r =
            korvid::test::tsql(server->port(), QStringLiteral("pw"), kList, request.environment());
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
        EXPECT_TRUE(r.out.contains(QLatin1String("tempdb")));
    }
}

TEST(EncryptionByRelease, From2005OnTheLoginIsEncryptedAndTls10AloneStillServesFreeTds) {
    // Asked as FreeTDS asks by default (ENCRYPT_OFF): 2000 has no certificate, every later
    // release encrypts the login; each gives its own version.
    struct Row {
        const char* version;
        uint8_t encryption;
        uint32_t productVersion;
    } rows[] = {
        {"8.0", standin::EncryptNotSup, 0x080007F7}, {"9.0", standin::EncryptOff, 0x09001388},
        {"10.50", standin::EncryptOff, 0x0A321770},  {"15.0", standin::EncryptOff, 0x0F00108C},
        {"16.0", standin::EncryptOff, 0x100003E8},
    };
    for (const Row& row : rows) {
        StandinProcess server;
        server.setExtraArguments({QStringLiteral("--server-version"), QLatin1String(row.version)});
        ASSERT_TRUE(server.start()) << row.version;
        TdsClient c;
        ASSERT_TRUE(c.connectTo(server.port()));
        const auto reply = c.prelogin(standin::EncryptOff);
        EXPECT_EQ(encryptionOf(reply), row.encryption) << row.version;
        const auto answer = reply ? standin::parsePrelogin(reply->tokens) : std::nullopt;
        EXPECT_EQ(answer ? answer->clientVersion : 0u, row.productVersion) << row.version;
    }

    // A 2005 server of TLS 1.0 alone, against Debian's FreeTDS (GnuTLS).
    StandinProcess old;
    old.setExtraArguments({"--server-version", "9.0", "--tls-floor", "1.0"});
    ASSERT_TRUE(old.start());
    struct Case {
        QStringList settings;
        bool logsIn;
        const char* dumpSays;
    } cases[] = {
        {{}, true, "handshake succeeded"},                      // TLS 1.0 is on by default
        {{"enable tls v1 = no"}, false, "handshake failed"},    // TLS 1.2 at least: refused
        {{"encryption = off"}, true, "detected crypt flag 2"},  // the login in the clear
        {{"encryption = off", "enable tls v1 = no"}, true, "crypt flag 2"},
    };
    for (const Case& c : cases) {
        const FreetdsConfig config(c.settings);
        const TsqlRun r =
            korvid::test::tsql(old.port(), QStringLiteral("pw"), kList, config.environment());
        const QString dump = config.takeDump();
        EXPECT_EQ(r.exitCode == 0, c.logsIn) << qPrintable(c.settings.join(", ") + r.err);
        EXPECT_TRUE(dump.contains(QLatin1String(c.dumpSays))) << qPrintable(c.settings.join(", "));
    }
}

TEST_F(Encryption, TheCertificateGivenIsTheOneServed) {
    // Two certificates for 127.0.0.1, as an administrator would make them.
    QTemporaryDir dir;
    for (const QString& n : {QStringLiteral("1"), QStringLiteral("2")}) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                       "/CN=tds-standin test", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                       dir.filePath("key" + n), "-out", dir.filePath("cert" + n)});
        ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0)
            << openssl.readAllStandardError().constData();
    }
    StandinProcess server;
    server.setExtraArguments({"--encryption", "required", "--certificate", dir.filePath("cert1"),
                              "--key", dir.filePath("key1")});
    ASSERT_TRUE(server.start());
    // A client that checks the certificate against the first one logs in, against the second
    // one it does not.
    for (const QString& n : {QStringLiteral("1"), QStringLiteral("2")}) {
        const FreetdsConfig checking(
            {QStringLiteral("encryption = require"), "ca file = " + dir.filePath("cert" + n)});
        const TsqlRun r =
            korvid::test::tsql(server.port(), QStringLiteral("pw"), kList, checking.environment());
        EXPECT_EQ(r.exitCode == 0, n == QLatin1String("1")) << qPrintable(n + r.err);
    }

    // A key of another certificate is refused at start.
    QProcess mismatched;
    mismatched.start(StandinProcess::binaryPath(),
                     {"--data", dir.filePath("data"), "--port", "0", "--encryption", "login",
                      "--certificate", dir.filePath("cert1"), "--key", dir.filePath("key2")});
    ASSERT_TRUE(mismatched.waitForFinished(15000));
    EXPECT_EQ(mismatched.exitCode(), 1);
    EXPECT_TRUE(mismatched.readAllStandardError().contains("cannot use the key"));
}
