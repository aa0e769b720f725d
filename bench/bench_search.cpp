// Search benchmark. Time: a tree of 1,000,000 entries (100,000 folders, 900,000 files, 1,000 of
// them data files), laid out from a fixed seed, searched in turns over several rounds: the
// yardstick `find ROOT -iname '*.mdf'`, fd (`fdfind -u -i -g '*.mdf' -t f ROOT`, a parallel
// walker) when it is installed, the folder walk alone (reading ahead, as the window runs it), and
// the whole search in the main window offscreen (click to totals text). Warm: with the cache
// full, each figure a ratio to find of the same round, the median and the spread over the rounds,
// with the machine's load and the largest gap of a 5 ms timer during the window's searches. Cold:
// the page cache dropped before each run (root on Linux only; skipped otherwise), the last line
// of all the cold figures against fd. Memory: the whole process after a search that lists 32,736
// rows of 114-character paths, and after one that lists 1,000,000 rows, each in a process of its
// own.
//
//   bench_search [DIR [ROUNDS [COLD]]]  DIR defaults to $TMPDIR/korvid-bench-tree; a tree already
//                                       there is reused (remove it with rm -rf when done). ROUNDS
//                                       warm rounds (7), COLD cold ones (3; 0: none).
//   bench_search DIR cold [COLD]        the cold rounds alone.
//   bench_search DIR walk [FIRST MOST]  the walk alone, once, for a profiler; FIRST readers at the
//                                       start and MOST at most, instead of the walk's own choice.
//   bench_search DIR gui                the search in the window alone, once.
//   bench_search DIR memory ROWS        the memory of one search listing ROWS rows.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "BenchFigures.h"
#include "RecordingPrompts.h"
#include "Workspace.h"
#include "access/Credentials.h"
#include "access/LongRuns.h"
#include "access/ModalMoments.h"
#include "access/ServerAccess.h"
#include "search/FolderList.h"
#include "search/FolderWalk.h"
#include "search/ReadAhead.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

using namespace korvid;
using bench::cpuOfProcess;
using bench::GapClock;
using bench::loadAverage;
using bench::median;
using bench::spread;

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

// Wall time and processor time (user + system, all threads) of one run, in seconds. On a shared
// machine the processor time shows the work itself, the wall time also the waiting for it.
struct Times {
    double wall = 0;
    double cpu = 0;
};

double cpuOfThisThread() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double cpuOfChildren() {
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One run of a yardstick, a process of its own; count is the lines it printed.
Times timeCommand(const std::string& command, long& count) {
    const double cpu = cpuOfChildren();
    QElapsedTimer clock;
    clock.start();
    FILE* pipe = ::popen(command.c_str(), "r");
    count = 0;
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) ++count;
    if (pipe) ::pclose(pipe);
    return {clock.nsecsElapsed() / 1e9, cpuOfChildren() - cpu};
}

// fd as Debian installs it (fdfind), or under its own name; empty when it is not there.
std::string fdCommand(const std::string& root) {
    QString fd = QStandardPaths::findExecutable(QStringLiteral("fdfind"));
    if (fd.isEmpty()) fd = QStandardPaths::findExecutable(QStringLiteral("fd"));
    if (fd.isEmpty()) return {};
    return shellQuote(QFile::encodeName(fd).toStdString()) + " -u -i -g '*.mdf' -t f " +
           shellQuote(root);
}

// Empties the page cache, so that the next run reads every folder from the disk. Only root on
// Linux may; why says what stands in the way.
bool dropPageCache(std::string& why) {
#ifdef __linux__
    if (::geteuid() != 0) {
        why = "only root may drop the page cache";
        return false;
    }
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    const bool dropped = fd >= 0 && ::write(fd, "3\n", 2) == 2;
    if (!dropped) why = std::string("/proc/sys/vm/drop_caches: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return dropped;
#else
    why = "the page cache can be dropped on Linux only";
    return false;
#endif
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

// The walk alone, reading ahead as the window's walk does; readers: how many were started.
Times timeWalk(const QString& searchFolder, long& count, unsigned& readers,
               search::ReadAhead::Limits limits = {}) {
    search::ReadAhead readAhead(fs::makeNativeEnumerator(), fs::hostStyle(),
                                QStringLiteral("*.MDF"), limits);
    Collect sink;
    const double cpu = cpuOfProcess();
    QElapsedTimer clock;
    clock.start();
    search::FolderWalk(readAhead, fs::hostStyle()).run(searchFolder, QStringLiteral("*.MDF"), sink);
    readAhead.stop();
    const Times times{clock.nsecsElapsed() / 1e9, cpuOfProcess() - cpu};
    count = long(sink.rows.size());
    readers = readAhead.readersStarted();
    return times;
}

// The main window needs a server only for its database list: this one is never there.
struct NoServer : Credentials {
    QString serverName() const override { return QStringLiteral("127.0.0.1,1"); }
    QString password() const override { return QString(); }
};

struct GuiRun {
    Times times;
    double windowCpu = 0;  // the window's own thread
    double largestGapMs = 0;
    int rows = 0;
};

// Starts the search and lets the event loop run until it has ended, timing the loop's gaps.
GuiRun runSearch(search::SearchController& controller, const std::function<void()>& start) {
    GuiRun run;
    GapClock gaps;
    QEventLoop loop;
    QObject::connect(&controller, &search::SearchController::searchFinished, &loop,
                     &QEventLoop::quit);
    QElapsedTimer clock;
    const double cpu = cpuOfProcess();
    const double windowCpu = cpuOfThisThread();
    gaps.start();
    clock.start();
    start();
    if (controller.isSearching()) loop.exec();
    run.times = {clock.nsecsElapsed() / 1e9, cpuOfProcess() - cpu};
    run.windowCpu = cpuOfThisThread() - windowCpu;
    gaps.stop();
    run.largestGapMs = gaps.largestMs();
    run.rows = controller.table().count();
    return run;
}

// A made-up tree for the memory figures, read from no disk: folders of rows of one path length.
// The rows still go the whole way: the walk on its thread, the batches, the table and List3.
class MadeUpTree : public fs::DirectoryEnumerator {
public:
    MadeUpTree(int rows, int rowsPerFolder, int pathLength)
        : rows_(rows), perFolder_(rowsPerFolder), pathLength_(pathLength) {}

    void setRoot(const QString& root) {
        root_ = root;
        // The folder's name is padded so that root + folder + "/" + file name is pathLength.
        folderNameLength_ = pathLength_ - int(root_.size()) - 1 - kFileNameLength;
    }

    std::unique_ptr<fs::FolderReader> open(const QString& folder, bool) override {
        if (folder == root_) return std::make_unique<Reader>(*this, -1);
        const int index = folder.mid(root_.size(), 6).toInt();
        return std::make_unique<Reader>(*this, index);
    }

private:
    static constexpr int kFileNameLength = 18;  // "SALES_0000012.MDF" and one more digit

    class Reader : public fs::FolderReader {
    public:
        Reader(const MadeUpTree& tree, int folder) : tree_(tree), folder_(folder) {}
        bool next(QString& name, fs::EntryKind& kind) override {
            if (folder_ < 0) {  // the root: only folders
                const int folders = (tree_.rows_ + tree_.perFolder_ - 1) / tree_.perFolder_;
                if (at_ >= folders) return false;
                name = QStringLiteral("%1").arg(at_++, 6, 10, QLatin1Char('0'));
                name = name.leftJustified(tree_.folderNameLength_, QLatin1Char('x'));
                kind = fs::EntryKind::Folder;
                return true;
            }
            const int row = folder_ * tree_.perFolder_ + at_;
            if (at_ >= tree_.perFolder_ || row >= tree_.rows_) return false;
            ++at_;
            name = QStringLiteral("SALES_%1.MDF").arg(row, 8, 10, QLatin1Char('0'));
            kind = fs::EntryKind::File;
            return true;
        }
        bool failed() const override { return false; }
        std::optional<qint64> lastFileLength() override { return 1245184; }
        fs::FolderId id() const override { return {1, quint64(folder_ + 2)}; }

    private:
        const MadeUpTree& tree_;
        int folder_;
        int at_ = 0;
    };

    QString root_;
    int rows_;
    int perFolder_;
    int pathLength_;
    int folderNameLength_ = 0;
};

struct Memory {
    double rssMb = 0;
    double peakMb = 0;
};

Memory memoryOfProcess() {
    Memory memory;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return memory;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) continue;
        if (parts[0] == "VmRSS:") memory.rssMb = parts[1].toDouble() / 1024;
        if (parts[0] == "VmHWM:") memory.peakMb = parts[1].toDouble() / 1024;
    }
    return memory;
}

void waitForActivation(MainWindow& window, search::SearchController& controller) {
    bool activated = false;
    QObject::connect(&window, &MainWindow::firstActivated, [&] { activated = true; });
    window.show();
    QElapsedTimer waiting;
    waiting.start();
    while (!activated && waiting.elapsed() < 10000) QCoreApplication::processEvents();
    if (!activated) controller.startUp();  // a platform that never activates the window
}

// One search listing rows rows of 114-character paths, ten to a folder, in the main window; the
// made-up tree stands where dir is.
int memoryRun(const QString& dir, int rows) {
    test::RecordingPrompts prompts;
    NoServer credentials;
    ModalMoments moments;
    ServerAccess access(credentials, moments);
    LongRuns runs;
    MainWindow window(access, prompts);
    auto tree = std::make_shared<MadeUpTree>(rows, 10, 114);
    auto* controller = new search::SearchController(window.searchControls(), prompts, runs, moments,
                                                    tree, fs::PathStyle::Posix);
    QObject::connect(&window, &MainWindow::firstActivated, controller,
                     &search::SearchController::startUp);
    waitForActivation(window, *controller);
    controller->folderList().setPath(QDir(dir).absolutePath());
    tree->setRoot(controller->searchFolder());  // before the walk's thread starts
    const Memory before = memoryOfProcess();
    const GuiRun run = runSearch(*controller, [&] {
        controller->search();  // the pattern box says "*.MDF"
    });
    // The list lays its rows out a batch at a time.
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 500) QCoreApplication::processEvents();
    const Memory after = memoryOfProcess();
    std::printf(
        "%9d rows of %d characters: %6.1f MB (window alone %.1f MB, peak %.1f MB), "
        "%.0f bytes a row, search %.2f s, largest gap %.1f ms\n",
        run.rows, int(controller->table().fullPath(0).size()), after.rssMb, before.rssMb,
        after.peakMb, (after.rssMb - before.rssMb) * 1048576 / run.rows, run.times.wall,
        run.largestGapMs);
    return run.rows == rows ? 0 : 1;
}

// What the rounds search, and with what.
struct Setup {
    std::string root;
    QString searchFolder;
    std::string find;
    std::string fd;  // empty: fd is not installed
    search::SearchController* controller = nullptr;
    std::function<void()> clickSearch;
};

struct Round {
    Times find, fd, walk;
    GuiRun gui;
    long found = 0, fdFound = 0, walked = 0;
    unsigned readers = 0;
};

// find, fd, the walk and the window in turns, the order turning each round; cold rounds drop the
// page cache before each run.
Round runRound(const Setup& setup, int round, bool cold) {
    Round r;
    const int turns = setup.fd.empty() ? 3 : 4;
    std::string why;
    for (int turn = 0; turn < turns; ++turn) {
        if (cold) dropPageCache(why);
        switch ((round + turn) % turns) {
            case 0:
                r.find = timeCommand(setup.find, r.found);
                break;
            case 1:
                r.walk = timeWalk(setup.searchFolder, r.walked, r.readers);
                break;
            case 2:
                r.gui = runSearch(*setup.controller, setup.clickSearch);
                break;
            default:
                r.fd = timeCommand(setup.fd, r.fdFound);
                break;
        }
    }
    return r;
}

// One figure over the rounds.
struct Figure {
    std::vector<double> values;
    QByteArray text(const char* format = "%.3f") const { return spread(values, format); }
    double middle() const { return median(values); }
};

void warmRounds(const Setup& setup, int rounds) {
    const QByteArray loadBefore = loadAverage();
    long found = 0;
    unsigned readers = 0;
    timeCommand(setup.find, found);  // the cache filled
    timeWalk(setup.searchFolder, found, readers);
    Figure findWall, findCpu, fdWall, fdCpu, walkWall, walkCpu, guiWall, guiCpu, windowCpu, gaps;
    Figure walkRatio, walkCpuRatio, guiRatio, guiCpuRatio, fdRatio;
    Round r;
    for (int round = 0; round < rounds; ++round) {
        r = runRound(setup, round, false);
        findWall.values.push_back(r.find.wall);
        findCpu.values.push_back(r.find.cpu);
        fdWall.values.push_back(r.fd.wall);
        fdCpu.values.push_back(r.fd.cpu);
        walkWall.values.push_back(r.walk.wall);
        walkCpu.values.push_back(r.walk.cpu);
        guiWall.values.push_back(r.gui.times.wall);
        guiCpu.values.push_back(r.gui.times.cpu);
        windowCpu.values.push_back(r.gui.windowCpu);
        gaps.values.push_back(r.gui.largestGapMs);
        walkRatio.values.push_back(r.walk.wall / r.find.wall);
        walkCpuRatio.values.push_back(r.walk.cpu / r.find.cpu);
        guiRatio.values.push_back(r.gui.times.wall / r.find.wall);
        guiCpuRatio.values.push_back(r.gui.times.cpu / r.find.cpu);
        fdRatio.values.push_back(r.fd.wall / r.find.wall);
    }
    std::printf("load average: before %s, after %s\n", loadBefore.constData(),
                loadAverage().constData());
    std::printf(
        "tree: %s (%d folders, %d files, %d data files), %d warm rounds, median (min-max)\n",
        setup.root.c_str(), kFolders, kFiles, kMatches, rounds);
    std::printf("find -iname '*.mdf'   wall %s s, processor %s s (%ld found)\n",
                findWall.text().constData(), findCpu.text().constData(), r.found);
    if (!setup.fd.empty())
        std::printf("fd -u -i -g '*.mdf'   wall %s s, processor %s s (%ld found)\n",
                    fdWall.text().constData(), fdCpu.text().constData(), r.fdFound);
    std::printf("core walk             wall %s s, processor %s s (%ld rows, %u readers)\n",
                walkWall.text().constData(), walkCpu.text().constData(), r.walked, r.readers);
    std::printf("search in the window  wall %s s, processor %s s (%d rows)\n",
                guiWall.text().constData(), guiCpu.text().constData(), r.gui.rows);
    std::printf("  of it the window's own thread: processor %s s\n", windowCpu.text().constData());
    std::printf("ratio to find, round by round:\n");
    if (!setup.fd.empty())
        std::printf("  fd                    wall %s x\n", fdRatio.text("%.2f").constData());
    std::printf("  core walk             wall %s x, processor %s x\n",
                walkRatio.text("%.2f").constData(), walkCpuRatio.text("%.2f").constData());
    std::printf("  search in the window  wall %s x, processor %s x\n",
                guiRatio.text("%.2f").constData(), guiCpuRatio.text("%.2f").constData());
    std::printf("largest event-loop gap (5 ms timer) per search: %s ms, largest %.1f ms\n",
                gaps.text("%.1f").constData(),
                *std::max_element(gaps.values.begin(), gaps.values.end()));
    std::fflush(stdout);
}

// Ends with the one line that sums the cold rounds up.
void coldRounds(const Setup& setup, int rounds) {
    std::string why;
    if (!dropPageCache(why)) {
        std::printf("cold: skipped, %s\n", why.c_str());
        return;
    }
    const QByteArray loadBefore = loadAverage();
    Figure find, fd, walk, gui, walkToFd, guiToFd, guiToFind, readers;
    for (int round = 0; round < rounds; ++round) {
        const Round r = runRound(setup, round, true);
        find.values.push_back(r.find.wall);
        fd.values.push_back(r.fd.wall);
        walk.values.push_back(r.walk.wall);
        gui.values.push_back(r.gui.times.wall);
        readers.values.push_back(r.readers);
        walkToFd.values.push_back(r.walk.wall / r.fd.wall);
        guiToFd.values.push_back(r.gui.times.wall / r.fd.wall);
        guiToFind.values.push_back(r.gui.times.wall / r.find.wall);
    }
    std::printf("cold, the page cache dropped before each run: load average before %s, after %s\n",
                loadBefore.constData(), loadAverage().constData());
    std::printf("  find                  wall %s s\n", find.text().constData());
    if (!setup.fd.empty())
        std::printf("  fd                    wall %s s\n", fd.text().constData());
    std::printf("  core walk             wall %s s (readers %s)\n", walk.text().constData(),
                readers.text("%.0f").constData());
    std::printf("  search in the window  wall %s s, to find %s x\n", gui.text().constData(),
                guiToFind.text("%.2f").constData());
    if (setup.fd.empty()) {
        std::printf(
            "cold: korvid %.2f s, fd not installed, find %.2f s, korvid/find %.2f (median of %d "
            "rounds)\n",
            gui.middle(), find.middle(), guiToFind.middle(), rounds);
        return;
    }
    std::printf("  to fd, round by round: core walk %s x, search in the window %s x\n",
                walkToFd.text("%.2f").constData(), guiToFd.text("%.2f").constData());
    std::printf(
        "cold: korvid %.2f s, fd %.2f s, find %.2f s, korvid/fd %.2f (median of %d rounds)\n",
        gui.middle(), fd.middle(), find.middle(), guiToFd.middle(), rounds);
}

// Memory, each in a fresh process so nothing of the timing counts.
void memoryRuns(const QString& dir) {
    std::printf("memory of the whole process after a search (rows of 114 characters):\n");
    std::fflush(stdout);
    for (const char* rows : {"32736", "1000000"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), {dir, "memory", rows});
        child.waitForFinished(600000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                 : QDir::tempPath() + QStringLiteral("/korvid-bench-tree");
    const QByteArray mode = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    if (argc > 3 && mode == "memory") return memoryRun(dir, std::atoi(argv[3]));
    Setup setup;
    setup.root = QFile::encodeName(QDir(dir).absolutePath()).toStdString();
    if (!QFileInfo::exists(dir + "/" + kMarker)) {
        std::fprintf(stderr, "building the tree in %s ...\n", setup.root.c_str());
        QDir().mkpath(dir);
        if (!buildTree(setup.root)) return 1;
    }
    setup.searchFolder = QDir(dir).absolutePath() + QLatin1Char('/');
    setup.find = "find " + shellQuote(setup.root) + " -iname '*.mdf'";
    setup.fd = fdCommand(setup.root);

    if (mode == "walk") {
        search::ReadAhead::Limits limits;
        if (argc > 4)
            limits = {limits.listings, unsigned(std::atoi(argv[3])), unsigned(std::atoi(argv[4]))};
        long rows = 0;
        unsigned readers = 0;
        const Times t = timeWalk(setup.searchFolder, rows, readers, limits);
        std::printf("core walk %.3f s (processor %.3f s), %ld rows, %u readers\n", t.wall, t.cpu,
                    rows, readers);
        return 0;
    }

    // The real main window, offscreen; its failing database list is recorded, not shown.
    test::RecordingPrompts prompts;
    NoServer credentials;
    ModalMoments moments;
    ServerAccess access(credentials, moments);
    auto* workspace = new Workspace(access, prompts, moments);
    setup.controller = &workspace->search();
    waitForActivation(workspace->window(), *setup.controller);
    setup.controller->folderList().setPath(QDir(dir).absolutePath());
    auto* searchButton = workspace->window().searchControls().searchButton;
    auto* progressLabel = workspace->window().searchControls().progressLabel;
    setup.clickSearch = [searchButton] { searchButton->click(); };

    if (mode == "gui") {
        const GuiRun run = runSearch(*setup.controller, setup.clickSearch);
        std::printf(
            "search in the window %.3f s (processor %.3f s, of it the window's thread "
            "%.3f s), largest gap %.1f ms\n",
            run.times.wall, run.times.cpu, run.windowCpu, run.largestGapMs);
    } else if (mode == "cold") {
        coldRounds(setup, argc > 3 ? std::max(1, std::atoi(argv[3])) : 3);
    } else {
        warmRounds(setup, argc > 2 ? std::max(1, std::atoi(argv[2])) : 7);
        std::printf("totals text: %s\n", progressLabel->text().toUtf8().constData());
        memoryRuns(dir);
        const int cold = argc > 3 ? std::atoi(argv[3]) : 3;
        if (cold > 0) coldRounds(setup, cold);
    }
    delete workspace;
    return 0;
}
