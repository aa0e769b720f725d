// HOST\NAME through the browser on UDP 1434: Korvid logs in by instance name and auto attach
// works there; a browser that does not answer and an instance it does not know fail the login
// with its own box in bounded time, the dialog still usable. ctest runs it alone among the tests
// that take port 1434.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "Harness.h"
#include "attach/AttachController.h"
#include "search/SearchController.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"

using namespace korvid;

class NamedInstanceTest : public QObject {
    Q_OBJECT

    // The driver asks the browser for a second sixteen times before it gives up.
    static constexpr int kBoundMs = 17500;

    void refused(test::Harness& h, const QString& server) {
        QElapsedTimer clock;
        clock.start();
        QVERIFY(h.loginAs(server, h.server().password()) == nullptr);
        QVERIFY2(clock.elapsed() < kBoundMs, QByteArray::number(clock.elapsed()));
        qInfo("%s refused after %lld ms", qPrintable(server), clock.elapsed());
        const auto boxes = h.takeMessages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("数据库连接失败，请检查登陆信息！"));
        QVERIFY(h.dialog()->isVisible());
    }

private slots:
    void noBrowserAnswers() {
        test::Harness h;
        QVERIFY(h.startServer());
        refused(h, QStringLiteral("127.0.0.1\\KORVIDTEST"));
        QVERIFY(h.login() != nullptr);  // the dialog still logs in
    }

    void byInstanceNameThroughTheBrowser() {
        QTemporaryDir dir;
        test::Harness h;
        h.server().setExtraArguments(
            {"--instance", "KORVIDTEST", "--browser", "--encryption", "login"});
        // Another run on this machine may hold the port a while: wait for it, bounded.
        const QDeadlineTimer deadline(60000);
        while (!h.startServer()) {
            QVERIFY2(!deadline.hasExpired(), "UDP 127.0.0.1:1434 stayed taken");
            QThread::msleep(1000);
        }
        refused(h, QStringLiteral("127.0.0.1\\NOSUCHNAME"));
        QVERIFY(h.loginAs(QStringLiteral("127.0.0.1\\KORVIDTEST"), h.server().password()));

        const QString folder = dir.path() + QStringLiteral("/found/");
        for (const char* name : {"named_a", "named_b"})
            QVERIFY(!h.createDatabase(QString::fromLatin1(name), folder).isEmpty());
        QCOMPARE(h.searchFolder(folder), 2);
        QVERIFY(h.autoAttachAll());
        QVERIFY(h.listedDatabases().contains(QStringLiteral("named_b")));
    }
};

QTEST_MAIN(NamedInstanceTest)
#include "NamedInstanceTest.moc"
