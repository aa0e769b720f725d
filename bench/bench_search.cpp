// Search benchmark. Time: a tree of 1,000,000 entries (100,000 folders, 900,000 files, 1,000 of
// them data files), laid out from a fixed seed, searched with a warm cache three ways, taken in
// turns over several rounds: the yardstick `find ROOT -iname '*.mdf'`, the folder walk alone,
// and the whole search in the main window offscreen (click to totals text). Each figure is a
// ratio to the yardstick of the same round; the median and the spread over the rounds are
// printed, with the machine's load, and the largest gap of a 5 ms timer during the window's
// searches. Memory: the whole process after a search that lists 32,736 rows of 114-character
// paths, and after one that lists 1,000,000 rows, each in a process of its own.
//
//   bench_search [DIR [ROUNDS]]      DIR defaults to $TMPDIR/korvid-bench-tree; a tree already
//                                    there is reused (remove it with rm -rf when done).
//   bench_search DIR walk|gui        that part alone, once, for a profiler.
//   bench_search DIR memory ROWS     the memory of one search listing ROWS rows.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
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
#include "access/LongRuns.h"
#include "access/ModalMoments.h"
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

// Wall time and processor time (user + system, all threads) of one run, in seconds. On a shared
// machine the processor time shows the work itself, the wall time also the waiting for it.
struct Times {
    double wall = 0;
    double cpu = 0;
};

double cpuOfProcess() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

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

QByteArray loadAverage() {
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (!loadavg.open(QIODevice::ReadOnly)) return "unknown";
    return loadavg.readLine().trimmed();
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

Times timeWalk(const QString& searchFolder, long& count) {
    auto enumerator = fs::makeNativeEnumerator();
    Collect sink;
    const double cpu = cpuOfProcess();
    QElapsedTimer clock;
    clock.start();
    search::FolderWalk(*enumerator, fs::hostStyle())
        .run(searchFolder, QStringLiteral("*.MDF"), sink);
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
    double windowCpu = 0;  // the window's own thread
    double largestGapMs = 0;
    int rows = 0;
};

// Starts the search and lets the event loop run until it has ended, timing the loop's gaps.
GuiRun runSearch(search::SearchController& controller, const std::function<void()>& start) {
    QElapsedTimer sinceTick;
    GuiRun run;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        run.largestGapMs = std::max(run.largestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QEventLoop loop;
    QObject::connect(&controller, &search::SearchController::searchFinished, &loop,
                     &QEventLoop::quit);
    ticker.start(5);
    QElapsedTimer clock;
    const double cpu = cpuOfProcess();
    const double windowCpu = cpuOfThisThread();
    sinceTick.start();
    clock.start();
    start();
    if (controller.isSearching()) loop.exec();
    run.times = {clock.nsecsElapsed() / 1e9, cpuOfProcess() - cpu};
    run.windowCpu = cpuOfThisThread() - windowCpu;
    run.largestGapMs = std::max(run.largestGapMs, sinceTick.nsecsElapsed() / 1e6);
    ticker.stop();
    run.rows = controller.table().count();
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "median (min–max)" of a figure over the rounds.
QByteArray spread(const std::vector<double>& values, const char* format) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QString::asprintf("%s (%s-%s)",
                             QString::asprintf(format, median(values)).toUtf8().data(),
                             QString::asprintf(format, *low).toUtf8().data(),
                             QString::asprintf(format, *high).toUtf8().data())
        .toUtf8();
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                 : QDir::tempPath() + QStringLiteral("/korvid-bench-tree");
    if (argc > 3 && QByteArray(argv[2]) == "memory") return memoryRun(dir, std::atoi(argv[3]));
    const std::string root = QFile::encodeName(QDir(dir).absolutePath()).toStdString();
    if (!QFileInfo::exists(dir + "/" + kMarker)) {
        std::fprintf(stderr, "building the tree in %s ...\n", root.c_str());
        QDir().mkpath(dir);
        if (!buildTree(root)) return 1;
    }
    const QString searchFolder = QDir(dir).absolutePath() + QLatin1Char('/');

    // The real main window, offscreen; its failing database list is recorded, not shown.
    test::RecordingPrompts prompts;
    NoServer credentials;
    ModalMoments moments;
    ServerAccess access(credentials, moments);
    auto* workspace = new Workspace(access, prompts, moments);
    search::SearchController& controller = workspace->search();
    waitForActivation(workspace->window(), controller);
    controller.folderList().setPath(QDir(dir).absolutePath());
    auto* searchButton = workspace->window().findChild<QPushButton*>("Command1");
    auto* progressLabel = workspace->window().findChild<QLabel*>("Label3");
    const auto clickSearch = [searchButton] { searchButton->click(); };

    // "walk" or "gui" after the folder: that part alone, once (for a profiler).
    if (argc > 2 && QByteArray(argv[2]) == "walk") {
        long rows = 0;
        const Times t = timeWalk(searchFolder, rows);
        std::printf("core walk %.3f s (processor %.3f s), %ld rows\n", t.wall, t.cpu, rows);
        return 0;
    }
    if (argc > 2 && QByteArray(argv[2]) == "gui") {
        const GuiRun run = runSearch(controller, clickSearch);
        std::printf(
            "search in the window %.3f s (processor %.3f s, of it the window's thread "
            "%.3f s), largest gap %.1f ms\n",
            run.times.wall, run.times.cpu, run.windowCpu, run.largestGapMs);
        return 0;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    // Warm the cache, then the three in turns, the order turning each round.
    const QByteArray loadBefore = loadAverage();
    long found = 0, walked = 0;
    timeFind(root, found);
    timeWalk(searchFolder, walked);
    std::vector<double> findWall, findCpu, walkWall, walkCpu, guiWall, guiCpu, windowCpu, gaps;
    std::vector<double> walkRatio, walkCpuRatio, guiRatio, guiCpuRatio;
    int guiRows = 0;
    for (int round = 0; round < rounds; ++round) {
        Times find, walk;
        GuiRun gui;
        for (int turn = 0; turn < 3; ++turn) {
            switch ((round + turn) % 3) {
                case 0:
                    find = timeFind(root, found);
                    break;
                case 1:
                    walk = timeWalk(searchFolder, walked);
                    break;
                default:
                    gui = runSearch(controller, clickSearch);
                    break;
            }
        }
        findWall.push_back(find.wall);
        findCpu.push_back(find.cpu);
        walkWall.push_back(walk.wall);
        walkCpu.push_back(walk.cpu);
        guiWall.push_back(gui.times.wall);
        guiCpu.push_back(gui.times.cpu);
        windowCpu.push_back(gui.windowCpu);
        gaps.push_back(gui.largestGapMs);
        walkRatio.push_back(walk.wall / find.wall);
        walkCpuRatio.push_back(walk.cpu / find.cpu);
        guiRatio.push_back(gui.times.wall / find.wall);
        guiCpuRatio.push_back(gui.times.cpu / find.cpu);
        guiRows = gui.rows;
    }

    std::printf("load average: before %s, after %s\n", loadBefore.constData(),
                loadAverage().constData());
    std::printf("tree: %s (%d folders, %d files, %d data files), %d rounds, median (min-max)\n",
                root.c_str(), kFolders, kFiles, kMatches, rounds);
    std::printf("find -iname '*.mdf'   wall %s s, processor %s s (%ld found)\n",
                spread(findWall, "%.3f").constData(), spread(findCpu, "%.3f").constData(), found);
    std::printf("core walk             wall %s s, processor %s s (%ld rows)\n",
                spread(walkWall, "%.3f").constData(), spread(walkCpu, "%.3f").constData(), walked);
    std::printf("search in the window  wall %s s, processor %s s (%d rows)\n",
                spread(guiWall, "%.3f").constData(), spread(guiCpu, "%.3f").constData(), guiRows);
    std::printf("  of it the window's own thread: processor %s s\n",
                spread(windowCpu, "%.3f").constData());
    std::printf("ratio to find, round by round:\n");
    std::printf("  core walk             wall %s x, processor %s x\n",
                spread(walkRatio, "%.2f").constData(), spread(walkCpuRatio, "%.2f").constData());
    std::printf("  search in the window  wall %s x, processor %s x\n",
                spread(guiRatio, "%.2f").constData(), spread(guiCpuRatio, "%.2f").constData());
    std::printf("largest event-loop gap (5 ms timer) per search: %s ms, largest %.1f ms\n",
                spread(gaps, "%.1f").constData(), *std::max_element(gaps.begin(), gaps.end()));
    std::printf("totals text: %s\n", progressLabel->text().toUtf8().constData());
    delete workspace;

    // Memory, each in a fresh process so nothing of the timing above counts.
    std::printf("memory of the whole process after a search (rows of 114 characters):\n");
    std::fflush(stdout);
    for (const char* rows : {"32736", "1000000"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), {dir, "memory", rows});
        child.waitForFinished(600000);
    }
    return 0;
}
