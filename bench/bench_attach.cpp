// Auto attach of N found databases through the main window (offscreen) against tds-standin on
// loopback, with the rate of the same sp_attach_db statements sent on one connection as the
// yardstick, and the event loop's largest gap during the run (a timer ticking every 5 ms).
//
//   bench_attach [N]    (default 500)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "NoServer.h"
#include "RecordingPrompts.h"
#include "StandinProcess.h"
#include "Workspace.h"
#include "access/ModalMoments.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "access/SqlText.h"
#include "attach/AttachController.h"
#include "attach/AttachTexts.h"
#include "db/Connection.h"
#include "maintenance/MaintenanceTexts.h"
#include "search/FolderList.h"
#include "search/ResultTable.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

using namespace korvid;

namespace {

// Ends the benchmark through the stack, so the server is stopped on the way out.
struct Failure {
    QString what;
};
[[noreturn]] void fail(const QString& what) {
    throw Failure{what};
}

QString name(int i) {
    return QStringLiteral("bench_%1").arg(i, 4, 10, QLatin1Char('0'));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 500;
    if (n <= 0) return 2;

    test::StandinProcess server;
    if (!server.start()) {
        std::fprintf(stderr, "bench_attach: tds-standin did not start\n");
        return 1;
    }
    QTemporaryDir files;
    const QString folder = files.path() + QStringLiteral("/found/");
    QDir().mkpath(folder);
    const test::GivenCredentials login(server.server(), server.password());
    ModalMoments moments;
    const ServerAccess access(login, moments);

    QStringList mdf, ldf;
    try {
        db::Connection master = access.open(ConnectionShape::server());
        for (int i = 0; i < n; ++i) {
            mdf << folder + name(i) + QStringLiteral(".mdf");
            ldf << folder + name(i) + QStringLiteral("_log.ldf");
            master.execute(
                QStringLiteral("CREATE DATABASE [%1] ON (NAME=%1, FILENAME=%2, SIZE=1MB) "
                               "LOG ON (NAME=%1_log, FILENAME=%3, SIZE=64KB)")
                    .arg(name(i), nLiteral(mdf[i]), nLiteral(ldf[i])));
            master.execute(maintenance::detachStatement(name(i)));
        }

        // The yardstick: the same attaches on one connection, nothing else.
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            master.execute(attach::attachWithLogStatement(name(i), mdf[i], ldf[i]));
        const double yardSeconds = t.nsecsElapsed() / 1e9;
        for (int i = 0; i < n; ++i) master.execute(maintenance::detachStatement(name(i)));
        master.close();

        test::RecordingPrompts prompts;
        Workspace workspace(access, prompts, moments);
        MainWindow& window = workspace.window();
        window.show();
        search::SearchController* search = &workspace.search();
        attach::AttachController* attach = &workspace.attach();
        if (auto* pattern = window.findChild<QLineEdit*>(QStringLiteral("Text1")))
            pattern->setText(QStringLiteral("*.MDF"));
        search->folderList().setPath(QDir::cleanPath(folder));
        // The search walks on a thread of its own: wait for its end.
        QEventLoop searching;
        QObject::connect(search, &search::SearchController::searchFinished, &searching,
                         &QEventLoop::quit);
        search->search();
        if (search->isSearching()) searching.exec();
        if (search->table().count() != n)
            fail(QStringLiteral("the search found %1 files").arg(search->table().count()));
        search->table().select(0);

        QElapsedTimer gapClock;
        qint64 lastTick = 0, largestGap = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = gapClock.nsecsElapsed();
            largestGap = std::max(largestGap, now - lastTick);
            lastTick = now;
        });
        bool done = false;
        attach::AutoAttachRun::Outcome outcome{};
        QObject::connect(attach, &attach::AttachController::runFinished,
                         [&](attach::AutoAttachRun::Outcome o) {
                             outcome = o;
                             done = true;
                         });
        ticker.start();
        gapClock.start();
        QElapsedTimer run;
        run.start();
        window.findChild<QPushButton*>(QStringLiteral("Command5"))->click();
        while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double runSeconds = run.nsecsElapsed() / 1e9;
        ticker.stop();
        if (outcome != attach::AutoAttachRun::Outcome::Completed)
            fail(QStringLiteral("the run did not complete"));
        if (window.databaseList()->rowCount() < n) fail(QStringLiteral("not every file attached"));

        const double yardRate = n / yardSeconds, runRate = n / runSeconds;
        std::printf("auto attach of %d files: %.1f files/s (%.2f s)\n", n, runRate, runSeconds);
        std::printf("yardstick, sp_attach_db on one connection: %.1f files/s (%.2f s)\n", yardRate,
                    yardSeconds);
        std::printf("ratio to the yardstick: %.2f (goal >= 0.5)\n", runRate / yardRate);
        std::printf("largest event-loop gap during the run: %.1f ms (goal < 100 ms)\n",
                    largestGap / 1e6);
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "bench_attach: %s\n", qPrintable(e.serverText()));
        return 1;
    } catch (const Failure& f) {
        std::fprintf(stderr, "bench_attach: %s\n", qPrintable(f.what));
        return 1;
    }
    return 0;
}
