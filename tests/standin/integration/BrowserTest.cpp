// tds-standin's browser at the byte level on a port of the test's own, and the command lines
// the stand-in refuses.
#include <gtest/gtest.h>

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <optional>

#include "StandinProcess.h"

using korvid::test::StandinProcess;

namespace {

// One datagram to the browser, and the answer when one comes within the time.
std::optional<QByteArray> ask(quint16 port, const QByteArray& request, int waitMs = 2000) {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0)) return std::nullopt;
    socket.writeDatagram(request, QHostAddress::LocalHost, port);
    if (!socket.waitForReadyRead(waitMs)) return std::nullopt;
    return socket.receiveDatagram().data();
}

struct Exit {
    int code = -1;
    QString err;
};

Exit runStandin(const QStringList& arguments) {
    QTemporaryDir data;
    QProcess p;
    StandinProcess::dieWithParent(p);
    p.start(StandinProcess::binaryPath(),
            QStringList{"--data", data.path(), "--port", "0"} + arguments);
    Exit e;
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(5000);
        return e;
    }
    e.code = p.exitCode();
    e.err = QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput());
    return e;
}

}  // namespace

TEST(Browser, AnswersForItsInstanceAndIsSilentOtherwise) {
    StandinProcess server;
    server.setExtraArguments({"--instance", "KORVIDTEST", "--browser", "--browser-port", "0"});
    ASSERT_TRUE(server.start());
    ASSERT_NE(server.browserPort(), 0);
    const QByteArray host =
        QHostInfo::localHostName().section(QLatin1Char('.'), 0, 0).toUpper().toUtf8();
    const QByteArray one = "ServerName;" + host +
                           ";InstanceName;KORVIDTEST;IsClustered;No;Version;8.00.2039;tcp;" +
                           QByteArray::number(server.port()) + ";;";
    const QByteArray expected =
        QByteArray("\x05") + char(one.size() & 0xFF) + char(one.size() >> 8) + one;

    // FreeTDS's request, the name in another case, and the list requests.
    EXPECT_EQ(ask(server.browserPort(), QByteArray("\x04KORVIDTEST\0", 12)), expected);
    EXPECT_EQ(ask(server.browserPort(), "\x04korvidtest"), expected);
    EXPECT_EQ(ask(server.browserPort(), "\x03"), expected);
    EXPECT_EQ(ask(server.browserPort(), "\x02"), expected);
    // Names it does not serve and what it does not understand go unanswered; it answers on.
    for (const QByteArray& silent :
         {QByteArray("\x04OTHER\0", 7), QByteArray("\x0F\x01KORVIDTEST"), QByteArray(500, 'x')})
        EXPECT_FALSE(ask(server.browserPort(), silent, 300)) << silent.left(20).constData();
    EXPECT_EQ(ask(server.browserPort(), "\x04KORVIDTEST"), expected);
}

TEST(StandinCommandLine, RefusesWhatCannotRunAndListsItsOptions) {
    // A browser port some other program holds.
    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const QString takenPort = QString::number(taken.localPort());
    const struct {
        QStringList arguments;
        int code;
        QString says;
    } cases[] = {
        {{"--browser"}, 2, "--browser needs --instance NAME"},
        {{"--instance", "TWO;PARTS", "--browser"}, 2, "invalid instance name 'TWO;PARTS'"},
        {{"--encryption", "strict"}, 2, "--encryption is off, login or required, not 'strict'"},
        {{"--encryption", "login", "--certificate", "cert.pem"}, 2, "--certificate and --key"},
        {{"--certificate", "c.pem", "--key", "k.pem"}, 2, "--certificate needs --encryption"},
        {{"--instance", "K", "--browser-port", "1500"}, 2, "--browser-port needs --browser"},
        {{"--encryption", "login", "--certificate", "/nonexistent", "--key", "/nonexistent"},
         1,
         "cannot use the certificate '/nonexistent'"},
        {{"--instance", "K", "--browser", "--browser-port", takenPort},
         1,
         "cannot answer SQL Server Browser requests on 127.0.0.1:" + takenPort + "/udp"},
    };
    for (const auto& c : cases) {
        const Exit e = runStandin(c.arguments);
        EXPECT_EQ(e.code, c.code) << qPrintable(c.arguments.join(' ') + ": " + e.err);
        EXPECT_TRUE(e.err.contains(c.says)) << qPrintable(c.arguments.join(' ') + ": " + e.err);
    }
    const Exit help = runStandin({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* option :
         {"--encryption <off|login|required>", "--certificate <FILE>", "--key <FILE>",
          "--instance <NAME>", "--browser ", "--browser-port <N>"})
        EXPECT_TRUE(help.err.contains(QLatin1String(option))) << option;
}
