// Auto attach of N found databases through the main window (offscreen) against tds-standin on
// loopback, against its yardstick: the same sp_attach_db statements sent on one connection. The
// two take turns over several rounds (which goes first alternates), so that a change in the
// machine's load falls on both; each round's difference per file is Korvid's own cost, every
// operation on a connection of its own included. Medians over the rounds, with their spread and
// the load, and the event loop's largest gap during the runs (a timer ticking every 5 ms). The
// processor time each side spends per file (this process, Korvid's; the server's) is less at the
// mercy of the machine's load than the rates, and says where the difference goes.
//
//   bench_attach [N] [ROUNDS]    (default 200 files, 5 rounds)

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchFigures.h"
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
using bench::median;

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

void printSpread(const char* what, const std::vector<double>& v, const char* unit) {
    std::printf("%s: median %.2f %s (min %.2f, max %.2f)\n", what, median(v), unit,
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

double loadAverage() {
    return bench::loadAverage().split(' ').value(0).toDouble();
}

// Processor seconds of this process (the window's thread and the workers) and of the server.
struct Cpu {
    double self = 0, server = 0;
};
Cpu cpuNow(qint64 serverPid) {
    Cpu c;
    c.self = bench::cpuOfProcess();
    QFile stat(QStringLiteral("/proc/%1/stat").arg(serverPid));
    if (stat.open(QIODevice::ReadOnly)) {
        // After the command's closing parenthesis: fields 14 and 15 are user and system ticks.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        c.server = (fields.value(11).toDouble() + fields.value(12).toDouble()) /
                   double(sysconf(_SC_CLK_TCK));
    }
    return c;
}

// The files of N databases, created and detached, ready to be found.
void makeFiles(db::Connection& master, const QString& folder, int n, QStringList* mdf,
               QStringList* ldf) {
    for (int i = 0; i < n; ++i) {
        *mdf << folder + name(i) + QStringLiteral(".mdf");
        *ldf << folder + name(i) + QStringLiteral("_log.ldf");
        master.execute(QStringLiteral("CREATE DATABASE [%1] ON (NAME=%1, FILENAME=%2, SIZE=1MB) "
                                      "LOG ON (NAME=%1_log, FILENAME=%3, SIZE=64KB)")
                           .arg(name(i), nLiteral(mdf->at(i)), nLiteral(ldf->at(i))));
        master.execute(maintenance::detachStatement(name(i)));
    }
}

void detachAll(db::Connection& master, int n) {
    for (int i = 0; i < n; ++i) master.execute(maintenance::detachStatement(name(i)));
}

// Seconds for the yardstick: the attaches on one connection already open, nothing else.
double rawRound(db::Connection& master, const QStringList& mdf, const QStringList& ldf) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < mdf.size(); ++i)
        master.execute(attach::attachWithLogStatement(name(i), mdf[i], ldf[i]));
    return t.nsecsElapsed() / 1e9;
}

// Seconds for auto attach from the first row, pressed as the person presses it; gaps times the
// event loop's turns meanwhile.
double korvidRound(MainWindow& window, attach::AttachController& attach,
                   search::SearchController& search, int n, bench::GapClock& gaps) {
    search.table().select(0);
    bool done = false;
    attach::AutoAttachRun::Outcome outcome{};
    const QMetaObject::Connection finished = QObject::connect(
        &attach, &attach::AttachController::runFinished, [&](attach::AutoAttachRun::Outcome o) {
            outcome = o;
            done = true;
        });
    gaps.start();
    QElapsedTimer run;
    run.start();
    window.attachControls().autoAttachButton->click();
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = run.nsecsElapsed() / 1e9;
    gaps.stop();
    QObject::disconnect(finished);
    if (outcome != attach::AutoAttachRun::Outcome::Completed)
        fail(QStringLiteral("the run did not complete"));
    if (window.databaseList()->rowCount() < n) fail(QStringLiteral("not every file attached"));
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (n <= 0 || rounds <= 0) return 2;

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

    try {
        db::Connection master = access.open(ConnectionShape::server());
        QStringList mdf, ldf;
        makeFiles(master, folder, n, &mdf, &ldf);

        test::RecordingPrompts prompts;
        Workspace workspace(access, prompts, moments);
        MainWindow& window = workspace.window();
        window.show();
        search::SearchController& search = workspace.search();
        window.searchControls().patternBox->setText(QStringLiteral("*.MDF"));
        search.folderList().setPath(QDir::cleanPath(folder));
        // The search walks on a thread of its own: wait for its end.
        QEventLoop searching;
        QObject::connect(&search, &search::SearchController::searchFinished, &searching,
                         &QEventLoop::quit);
        search.search();
        if (search.isSearching()) searching.exec();
        if (search.table().count() != n)
            fail(QStringLiteral("the search found %1 files").arg(search.table().count()));

        std::vector<double> korvidRates, rawRates, overheadsMs, loads;
        std::vector<double> korvidSelfMs, rawSelfMs, korvidServerMs, rawServerMs;
        bench::GapClock gaps;
        for (int r = 0; r < rounds; ++r) {
            double raw = 0, korvid = 0;
            for (int turn = 0; turn < 2; ++turn) {
                const Cpu before = cpuNow(server.pid());
                const bool rawTurn = (turn == 0) == (r % 2 == 0);
                if (rawTurn) {
                    raw = rawRound(master, mdf, ldf);
                } else {
                    korvid = korvidRound(window, workspace.attach(), search, n, gaps);
                }
                const Cpu after = cpuNow(server.pid());
                (rawTurn ? rawSelfMs : korvidSelfMs)
                    .push_back((after.self - before.self) * 1000 / n);
                (rawTurn ? rawServerMs : korvidServerMs)
                    .push_back((after.server - before.server) * 1000 / n);
                detachAll(master, n);
            }
            loads.push_back(loadAverage());
            korvidRates.push_back(n / korvid);
            rawRates.push_back(n / raw);
            overheadsMs.push_back((korvid - raw) * 1000 / n);
            std::printf("round %d: korvid %.1f files/s, raw %.1f files/s, overhead %.2f ms\n",
                        r + 1, n / korvid, n / raw, overheadsMs.back());
        }
        std::printf("%d files, %d rounds\n", n, rounds);
        printSpread("auto attach", korvidRates, "files/s");
        printSpread("yardstick, sp_attach_db on one connection", rawRates, "files/s");
        printSpread("Korvid's own cost per file", overheadsMs, "ms");
        printSpread("processor per file, this process, auto attach", korvidSelfMs, "ms");
        printSpread("processor per file, this process, yardstick", rawSelfMs, "ms");
        printSpread("processor per file, server, auto attach", korvidServerMs, "ms");
        printSpread("processor per file, server, yardstick", rawServerMs, "ms");
        std::printf("largest event-loop gap during the runs: %.1f ms\n", gaps.largestMs());
        // What each of a file's four operations pays for a connection of its own, for scale.
        QElapsedTimer connecting;
        connecting.start();
        for (int i = 0; i < n; ++i) access.open(ConnectionShape::server()).close();
        std::printf("a connection of its own (open, close): %.2f ms\n",
                    connecting.nsecsElapsed() / 1e6 / n);
        std::printf(
            "overhead per file %.2f ms (korvid %.1f files/s, raw %.1f files/s, load %.2f)\n",
            median(overheadsMs), median(korvidRates), median(rawRates), median(loads));
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "bench_attach: %s\n", qPrintable(e.serverText()));
        return 1;
    } catch (const Failure& f) {
        std::fprintf(stderr, "bench_attach: %s\n", qPrintable(f.what));
        return 1;
    }
    return 0;
}
