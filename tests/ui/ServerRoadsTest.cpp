// Korvid on the roads real servers take: a session the server encrypts whole, a server section
// of FreeTDS's own configuration that checks the certificate or cannot encrypt, and a named
// instance found through the browser. Every failure is the login's own box, in bounded time, and
// the dialog stays usable.
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "Harness.h"
#include "attach/AttachController.h"
#include "maintenance/MaintenanceController.h"
#include "search/SearchController.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"

using namespace korvid;

namespace {

const QString kLoginFailed = QStringLiteral("数据库连接失败，请检查登陆信息！");

// A certificate and its key for 127.0.0.1, as an administrator would make them.
bool makeCertificate(const QString& certificate, const QString& key) {
    QProcess openssl;
    openssl.start(
        QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=korvid test",
         "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate});
    return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
}

}  // namespace

class ServerRoadsTest : public QObject {
    Q_OBJECT

    // Tries a login that must fail: the login's box alone, within the bound, the dialog as it was.
    void refusedWithin(test::Harness& h, const QString& server, int boundMs) {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(h.loginAs(server, h.server().password()) == nullptr);
        QVERIFY2(clock.elapsed() < boundMs,
                 qPrintable(server + ": " + QString::number(clock.elapsed())));
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, kLoginFailed);
        QVERIFY(h.dialog()->isVisible());
        QCOMPARE(h.dialog()->serverName(), server);
        qInfo("%s refused after %lld ms", qPrintable(server), clock.elapsed());
    }

    // Search, auto attach, detach and shrink log on the window the harness logged in to.
    void wholeRoad(test::Harness& h, const QString& folder) {
        for (const char* name : {"road_a", "road_b"})
            QVERIFY(!h.createDatabase(QString::fromLatin1(name), folder).isEmpty());
        QCOMPARE(h.searchFolder(folder), 2);
        QVERIFY(h.autoAttachAll());
        QVERIFY(h.listedDatabases().contains(QStringLiteral("road_a")));
        QVERIFY(h.selectDatabase(QStringLiteral("road_b")));
        h.window().maintenanceControls().shrinkLogAction->trigger();
        QVERIFY(h.selectDatabase(QStringLiteral("road_a")));
        h.window().maintenanceControls().detachAction->trigger();
        QVERIFY(!h.listedDatabases().contains(QStringLiteral("road_a")));
        QStringList texts;
        for (const MessageRecord& m : h.takeMessages()) texts << m.text;
        QCOMPARE(texts,
                 (QStringList{"全部附加完成！", "日志文件收缩成功！", "分离数据库 road_a 成功！"}));
    }

private slots:
    void aSessionTheServerEncryptsWhole() {
        QTemporaryDir dir;
        test::Harness h;
        h.server().setExtraArguments({"--encryption", "required"});
        QVERIFY(h.startServer());
        QVERIFY(h.login() != nullptr);
        wholeRoad(h, dir.path() + QStringLiteral("/found/"));
    }

    void serverSectionsOfFreeTdsConfiguration() {
        QTemporaryDir dir;
        const QString cert1 = dir.filePath("cert1"), cert2 = dir.filePath("cert2");
        QVERIFY(makeCertificate(cert1, dir.filePath("key1")));
        QVERIFY(makeCertificate(cert2, dir.filePath("key2")));
        test::Harness h;
        h.server().setExtraArguments(
            {"--encryption", "required", "--certificate", cert1, "--key", dir.filePath("key1")});
        QVERIFY(h.startServer());
        QFile conf(dir.filePath("freetds.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        const QString at =
            QStringLiteral("\thost = 127.0.0.1\n\tport = %1\n").arg(h.server().port());
        conf.write(QStringLiteral("[global]\n\ttds version = 7.1\n"
                                  "[checked]\n%1\tencryption = require\n\tca file = %2\n"
                                  "[other_ca]\n%1\tencryption = require\n\tca file = %3\n"
                                  "[no_tls]\n%1\tencryption = off\n")
                       .arg(at, cert1, cert2)
                       .toUtf8());
        conf.close();
        qputenv("FREETDSCONF", QFile::encodeName(conf.fileName()));

        // A certificate the configuration does not trust, and a client that may not encrypt
        // where the server requires it: refused at once.
        refusedWithin(h, QStringLiteral("other_ca"), 3000);
        refusedWithin(h, QStringLiteral("no_tls"), 3000);
        // The certificate the configuration trusts: in, and every operation works.
        QVERIFY(h.loginAs(QStringLiteral("checked"), h.server().password()) != nullptr);
        wholeRoad(h, dir.path() + QStringLiteral("/found/"));
        qunsetenv("FREETDSCONF");
    }
};

QTEST_MAIN(ServerRoadsTest)
#include "ServerRoadsTest.moc"
