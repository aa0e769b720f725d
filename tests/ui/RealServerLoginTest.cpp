// Korvid through the real login against servers of the 2005 generation and after: a server that
// speaks only TLS 1.0, a detach the server refuses because the database's files went while it
// was stopped, and databases that cannot be entered. Every refusal reaches the person with the
// server's number and reason behind the box's details.
#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "Harness.h"
#include "access/TlsProbe.h"
#include "ui/MainWindow.h"

using namespace korvid;
using korvid::test::choose;

class RealServerLoginTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString folder(const QString& sub) { return dir_.path() + QLatin1Char('/') + sub + '/'; }

    // A 2005 server holding the database `name`, restarted with the given arguments after
    // `whileStopped` ran, then logged in to with the database selected.
    bool loginWith(test::Harness& h, const QString& name, const QStringList& more,
                   const std::function<void()>& whileStopped = {}) {
        h.server().setExtraArguments({"--server-version", "9.0"});
        if (!h.startServer() || h.createDatabase(name, folder(name), false).isEmpty()) return false;
        h.server().stop();
        if (whileStopped) whileStopped();
        h.server().setExtraArguments(QStringList{"--server-version", "9.0"} + more);
        return h.server().start() && h.login() && h.selectDatabase(name);
    }

    // The one box of the last item: critical, with every given word behind its details.
    void failedWith(test::Harness& h, const QStringList& words) {
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, MsgIcon::Critical);
        for (const QString& w : words)
            QVERIFY2(boxes[0].detail.contains(w), qPrintable(w + " in " + boxes[0].detail));
    }

private slots:
    void aServerThatSpeaksOnlyTls10() {
        test::Harness h;
        h.server().setExtraArguments({"--server-version", "9.0", "--tls-floor", "1.0"});
        QVERIFY(h.startServer());
        // What the server offers, asked as Korvid asks it when a login breaks off.
        const auto offered = probeTls(QStringLiteral("127.0.0.1"), h.server().port(), 3000);
        QVERIFY(offered);
        QCOMPARE(offered->serverVersion, QStringLiteral("9.0.5000"));
        QCOMPARE(offered->tlsVersion, 0x0301);
        QCOMPARE(offered->suite, 0x002F);

        QFile conf(dir_.filePath("freetds.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[no_tls10]\n\thost = 127.0.0.1\n\tport = %1\n"
                                  "\tenable tls v1 = no\n")
                       .arg(h.server().port())
                       .toUtf8());
        conf.close();
        qputenv("FREETDSCONF", QFile::encodeName(conf.fileName()));
        // A driver set not to speak TLS 1.0: the details say why and what to change.
        QVERIFY(h.loginAs(QStringLiteral("no_tls10"), h.server().password()) == nullptr);
        qunsetenv("FREETDSCONF");
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        qInfo("the login box's details: %s", qPrintable(boxes[0].detail));
        for (const char* word : {"TLS 1.0", "TLS_RSA_WITH_AES_128_CBC_SHA", "enable tls v1"})
            QVERIFY2(boxes[0].detail.contains(QLatin1String(word)), qPrintable(boxes[0].detail));
        // Debian's FreeTDS as it comes speaks TLS 1.0: in.
        QVERIFY(h.login() != nullptr);
    }

    void aDetachOfADatabaseWhoseFilesWentWhileTheServerWasStopped() {
        test::Harness h;
        QVERIFY(loginWith(h, QStringLiteral("gone"), {}, [this] {
            QVERIFY(QFile::remove(folder("gone") + QStringLiteral("gone.mdf")));
        }));
        choose(h.window().maintenanceControls().detachAction);
        failedWith(h, {"Msg 3707", "recovery pending"});
        QVERIFY(h.listedDatabases().contains(QStringLiteral("gone")));
    }

    void databasesThatCannotBeEntered_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("shrinkSays");
        QTest::addColumn<QString>("detachSays");  // empty: detached
        QTest::newRow("offline") << "OFFLINE" << QStringList{"Msg 942", "offline"} << QString();
        QTest::newRow("restoring") << "RESTORING" << QStringList{"Msg 927", "restore"} << QString();
        // Single-user access held by another connection: neither shrink nor detach get in.
        QTest::newRow("single user")
            << "SINGLE_USER" << QStringList{"Msg 924", "one user"} << "Msg 3703";
    }
    void databasesThatCannotBeEntered() {
        QFETCH(QString, state);
        QFETCH(QStringList, shrinkSays);
        QFETCH(QString, detachSays);
        test::Harness h;
        const QString name = QStringLiteral("db_") + state.toLower();
        QVERIFY(loginWith(h, name, {"--state", name + '=' + state}));
        const auto holder = state == QLatin1String("SINGLE_USER") ? h.stayInside(name) : nullptr;
        choose(h.window().maintenanceControls().shrinkLogAction);
        failedWith(h, shrinkSays);
        choose(h.window().maintenanceControls().detachAction);
        if (detachSays.isEmpty()) {
            QCOMPARE(h.takeMessages().value(0).text,
                     QStringLiteral("分离数据库 ") + name + QStringLiteral(" 成功！"));
        } else {
            failedWith(h, {detachSays});
        }
    }
};

QTEST_MAIN(RealServerLoginTest)
#include "RealServerLoginTest.moc"
