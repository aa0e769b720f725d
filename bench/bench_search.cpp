// Search benchmark: a tree of 1,000,000 entries (100,000 folders, 900,000 files, 1,000 of them
// data files), laid out from a fixed seed, searched with a warm cache three ways, best of five:
// the yardstick `find ROOT -iname '*.mdf'`, the folder walk alone, and the whole search in the
// main window offscreen (click to totals text, every yield included). Prints each as a ratio to
// the yardstick, and the largest gap of a 5 ms timer during the window's search.
//
//   bench_search [DIR [walk|gui]]   DIR defaults to $TMPDIR/korvid-bench-tree; a tree already
//                                   there is reused (remove it with rm -rf when done). walk or
//                                   gui times that part alone, once, for a profiler.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "RecordingPrompts.h"
#include "Workspace.h"
#include "access/Credentials.h"
#include "access/ServerAccess.h"
#include "search/FolderList.h"
#include "search/FolderWalk.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

using namespace korvid;

namespace {

constexpr int kFolders = 100000;  // the root included
constexpr int kFiles = 900000;
constexpr int kMatches = 1000;
constexpr const char* kMarker = ".korvid-bench-tree-v1";

bool buildTree(const std::string& root) {
    std::mt19937_64 rng(20261208);
    // A random recursive tree: folder i hangs under one of the folders before it.
    std::vector<std::string> folders{root};
    folders.reserve(kFolders);
    for (int i = 1; i < kFolders; ++i) {
        const std::string& parent = folders[rng() % folders.size()];
        char name[32];
        std::snprintf(name, sizeof name, "/%s%05d", (rng() % 4 == 0) ? "Data" : "dir", i);
        folders.push_back(parent + name);
        if (::mkdir(folders.back().c_str(), 0755) != 0) {
            std::perror(folders.back().c_str());
            return false;
        }
    }
    std::vector<char> isMatch(kFiles, 0);
    for (int placed = 0; placed < kMatches;) {
        const size_t i = rng() % kFiles;
        if (!isMatch[i]) {
            isMatch[i] = 1;
            ++placed;
        }
    }
    static const char* const others[] = {".ldf", ".dat", ".txt", ".mdf.bak",
                                         ".md",  ".ndf", ".log", ""};
    static const char* const matches[] = {".mdf", ".MDF", ".Mdf"};
    for (int i = 0; i < kFiles; ++i) {
        const std::string& folder = folders[rng() % folders.size()];
        char name[48];
        const char* ext = isMatch[i] ? matches[rng() % 3] : others[rng() % 8];
        std::snprintf(name, sizeof name, "/file%06d%s", i, ext);
        const std::string path = folder + name;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(path.c_str());
            return false;
        }
        // Data files get a size (sparse, so the tree costs no space).
        if (isMatch[i] && ::ftruncate(fd, off_t(rng() % (64 << 20))) != 0) std::perror("ftruncate");
        ::close(fd);
        if (i % 100000 == 0) std::fprintf(stderr, "  %d files\n", i);
    }
    const int fd = ::open((root + "/" + kMarker).c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0) ::close(fd);
    return true;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Seconds of the yardstick; count gets the number of paths it printed.
// Wall time and processor time (user + system) of one run, in seconds. On a shared machine the
// processor time shows the work itself, the wall time also the waiting for the processor.
struct Times {
    double wall = 1e9;
    double cpu = 1e9;
    void keepBest(const Times& other) {
        wall = std::min(wall, other.wall);
        cpu = std::min(cpu, other.cpu);
    }
};

double cpuOfProcess() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double cpuOfChildren() {
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Times timeFind(const std::string& root, long& count) {
    const double cpu = cpuOfChildren();
    QElapsedTimer clock;
    clock.start();
    FILE* pipe = ::popen(("find " + shellQuote(root) + " -iname '*.mdf'").c_str(), "r");
    count = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) ++count;
    ::pclose(pipe);
    return {clock.nsecsElapsed() / 1e9, cpuOfChildren() - cpu};
}

struct Collect : search::WalkSink {
    std::vector<search::FoundFile> rows;
    void enterFolder(const QString&) override {}
    bool addRow(search::FoundFile&& row) override {
        rows.push_back(std::move(row));
        return true;
    }
    bool yield() override { return true; }
};

Times timeWalk(const QString& spath, long& count) {
    auto enumerator = fs::makeNativeEnumerator();
    Collect sink;
    const double cpu = cpuOfProcess();
    QElapsedTimer clock;
    clock.start();
    search::FolderWalk(*enumerator, fs::hostStyle()).run(spath, QStringLiteral("*.MDF"), sink);
    const Times times{clock.nsecsElapsed() / 1e9, cpuOfProcess() - cpu};
    count = long(sink.rows.size());
    return times;
}

// The main window needs a server only for its database list: this one is never there.
struct NoServer : Credentials {
    QString serverName() const override { return QStringLiteral("127.0.0.1,1"); }
    QString password() const override { return QString(); }
};

struct GuiRun {
    Times times;
    double largestGapMs;
    int rows;
    QString totals;
};

GuiRun timeGuiSearch(search::SearchController& controller, QPushButton& command1, QLabel& label3) {
    QElapsedTimer sinceTick;
    double largestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        largestGap = std::max(largestGap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    ticker.start(5);
    QElapsedTimer clock;
    const double cpu = cpuOfProcess();
    sinceTick.start();
    clock.start();
    command1.click();
    const Times times{clock.nsecsElapsed() / 1e9, cpuOfProcess() - cpu};
    largestGap = std::max(largestGap, sinceTick.nsecsElapsed() / 1e6);
    ticker.stop();
    return {times, largestGap, controller.table().count(), label3.text()};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                 : QDir::tempPath() + QStringLiteral("/korvid-bench-tree");
    const std::string root = QFile::encodeName(QDir(dir).absolutePath()).toStdString();
    if (!QFileInfo::exists(dir + "/" + kMarker)) {
        std::fprintf(stderr, "building the tree in %s ...\n", root.c_str());
        QDir().mkpath(dir);
        if (!buildTree(root)) return 1;
    }
    const QString spath = QDir(dir).absolutePath() + QLatin1Char('/');

    // The real main window, offscreen; its failing database list is recorded, not shown.
    test::RecordingPrompts prompts;
    NoServer credentials;
    ServerAccess access(credentials);
    auto* workspace = new Workspace(access, prompts);
    MainWindow* window = &workspace->window();
    search::SearchController* controller = &workspace->search();
    bool activated = false;
    QObject::connect(window, &MainWindow::firstActivated, [&] { activated = true; });
    window->show();
    QElapsedTimer waiting;
    waiting.start();
    while (!activated && waiting.elapsed() < 10000) QCoreApplication::processEvents();
    if (!activated) controller->startUp();  // a platform that never activates the window
    controller->folderList().setPath(QDir(dir).absolutePath());
    auto* command1 = window->findChild<QPushButton*>("Command1");
    auto* label3 = window->findChild<QLabel*>("Label3");

    // "walk" or "gui" after the folder: that part alone, once (for a profiler).
    if (argc > 2 && QByteArray(argv[2]) == "walk") {
        long rows = 0;
        const Times t = timeWalk(spath, rows);
        std::printf("core walk %.3f s (processor %.3f s), %ld rows\n", t.wall, t.cpu, rows);
        return 0;
    }
    if (argc > 2 && QByteArray(argv[2]) == "gui") {
        const GuiRun run = timeGuiSearch(*controller, *command1, *label3);
        std::printf("search in the window %.3f s (processor %.3f s), largest gap %.1f ms\n",
                    run.times.wall, run.times.cpu, run.largestGapMs);
        return 0;
    }

    // Warm the cache, then take the best of five of each, taken in turns.
    long found = 0, walked = 0;
    timeFind(root, found);
    timeWalk(spath, walked);
    Times find, walk, gui;
    double largestGap = 0;
    int guiRows = 0;
    QString totals;
    for (int round = 0; round < 5; ++round) {
        find.keepBest(timeFind(root, found));
        walk.keepBest(timeWalk(spath, walked));
        const GuiRun run = timeGuiSearch(*controller, *command1, *label3);
        gui.keepBest(run.times);
        largestGap = std::max(largestGap, run.largestGapMs);
        guiRows = run.rows;
        totals = run.totals;
    }

    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        std::printf("load average: %s", loadavg.readLine().constData());
    std::printf("tree: %s (%d folders, %d files, %d data files)\n", root.c_str(), kFolders, kFiles,
                kMatches);
    std::printf("                          wall             processor\n");
    std::printf("find -iname '*.mdf'   %7.3f s  1.00 x   %7.3f s  1.00 x   (%ld found)\n",
                find.wall, find.cpu, found);
    std::printf("core walk             %7.3f s  %.2f x   %7.3f s  %.2f x   (%ld rows)\n", walk.wall,
                walk.wall / find.wall, walk.cpu, walk.cpu / find.cpu, walked);
    std::printf("search in the window  %7.3f s  %.2f x   %7.3f s  %.2f x   (%d rows)\n", gui.wall,
                gui.wall / find.wall, gui.cpu, gui.cpu / find.cpu, guiRows);
    std::printf("largest event-loop gap %.1f ms (5 ms timer, all five searches)\n", largestGap);
    std::printf("totals text: %s\n", totals.toUtf8().constData());
    delete workspace;
    return 0;
}
