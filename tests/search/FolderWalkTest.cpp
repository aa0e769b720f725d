// The folder walk: order and columns of the rows, per-folder failures, and what the walk must not
// enter (links, folders already walked), on an in-memory tree and on a real one; the same walk
// reading ahead, and on a thread of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <functional>
#include <iterator>
#include <limits>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "fs/Files.h"
#include "search/BackgroundWalk.h"
#include "search/FolderWalk.h"
#include "search/ReadAhead.h"

using namespace korvid;
using fs::EntryKind;
using fs::PathStyle;

namespace {

// A tree in memory: each folder lists its entries in a fixed order; a folder can fail to open or
// fail after some entries, a file can lack a length.
struct FakeEntry {
    QString name;
    EntryKind kind;
    qint64 size = 0;  // -1: the length cannot be read
};
struct FakeFolder {
    QList<FakeEntry> entries;
    int failAfter = -1;   // entries returned before the enumeration fails; -1 never
    quint64 inode = 0;    // 0: its own
    bool onDisk = false;  // opening it reads from the disk (diskRead)
};

class FakeEnumerator : public fs::DirectoryEnumerator {
public:
    QMap<QString, FakeFolder> folders;
    QStringList opened;
    // Each folder's open waits (path length % 3) times this, so reads ahead end out of order.
    unsigned long slowUs = 0;
    std::function<void()> diskRead;
    // Opened by a thread other than the test's, this folder runs out of memory once.
    QString throwsOnce;

    std::unique_ptr<fs::FolderReader> open(const QString& folder, bool) override {
        QThread::usleep(slowUs * ulong(folder.size() % 3));
        static std::mutex mutex;  // readers ahead open folders at once
        const std::lock_guard<std::mutex> lock(mutex);
        opened.append(folder);
        auto it = folders.constFind(folder);
        if (it == folders.cend()) return nullptr;
        if (it->onDisk) diskRead();
        if (folder == throwsOnce && std::this_thread::get_id() != testThread_) {
            throwsOnce.clear();
            throw std::bad_alloc();
        }
        const quint64 inode =
            it->inode ? it->inode : quint64(std::distance(folders.cbegin(), it)) + 1;
        return std::make_unique<Reader>(*it, inode);
    }

private:
    std::thread::id testThread_ = std::this_thread::get_id();

    class Reader : public fs::FolderReader {
    public:
        Reader(const FakeFolder& folder, quint64 inode) : folder_(folder), inode_(inode) {}
        bool next(QString& name, EntryKind& kind) override {
            if (folder_.failAfter >= 0 && at_ >= folder_.failAfter) {
                failed_ = true;
                return false;
            }
            if (at_ >= folder_.entries.size()) return false;
            last_ = folder_.entries.at(at_++);
            name = last_.name;
            kind = last_.kind;
            return true;
        }
        bool failed() const override { return failed_; }
        std::optional<qint64> lastFileLength() override {
            if (last_.size < 0) return std::nullopt;
            return last_.size;
        }
        fs::FolderId id() const override { return {1, inode_}; }

    private:
        const FakeFolder& folder_;
        quint64 inode_;
        int at_ = 0;
        FakeEntry last_;
        bool failed_ = false;
    };
};

struct Recorder : search::WalkSink {
    QList<search::FoundFile> rows;
    QStringList entered;
    int yields = 0;
    std::function<void(const QString&)> onEnter;
    void enterFolder(const QString& folder) override {
        entered.append(folder);
        if (onEnter) onEnter(folder);
    }
    bool addRow(search::FoundFile&& row) override {
        rows.append(row);
        return true;
    }
    bool yield() override {
        ++yields;
        return true;
    }
    QStringList paths() const {
        QStringList out;
        for (const auto& r : rows) out.append(r.fullPath());
        return out;
    }
};

// Rows with their lengths, to compare two walks.
template <typename Rows>
QStringList listed(const Rows& rows) {
    QStringList out;
    for (const auto& row : rows)
        out.append(row.fullPath() + QLatin1Char('|') + QString::number(row.size));
    return out;
}

FakeEntry file(const char* name, qint64 size = 1) {
    return {QString::fromUtf8(name), EntryKind::File, size};
}
FakeEntry folder(const char* name) {
    return {QString::fromUtf8(name), EntryKind::Folder};
}

// The threads this process runs now.
int threads() {
#ifdef _WIN32
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        count += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
#else
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
#endif
}

// D:\SQL\ with matches, subfolders and a non-matching file on every level.
FakeEnumerator windowsTree() {
    FakeEnumerator e;
    e.folders["D:\\SQL\\"] = {{file("b.MDF", 10),
                               folder("Data"),
                               file("x.txt"),
                               file("a.mdf", 20),
                               folder("Old"),
                               {QStringLiteral("link"), EntryKind::Other}}};
    e.folders["D:\\SQL\\Data\\"] = {{folder("Deep"), file("Sales.mdf", 1245184)}};
    e.folders["D:\\SQL\\Data\\Deep\\"] = {{file("d.mdf", 1)}};
    e.folders["D:\\SQL\\Old\\"] = {{file("o.mdf", 2)}};
    return e;
}

}  // namespace

TEST(FolderWalk, RowsComeDepthFirstWithMatchesBeforeSubfolders) {
    FakeEnumerator e = windowsTree();
    Recorder sink;
    search::FolderWalk walk(e, PathStyle::Windows);
    EXPECT_TRUE(walk.run(QStringLiteral("D:\\SQL\\"), QStringLiteral("*.MDF"), sink));

    EXPECT_EQ(sink.paths(),
              (QStringList{"D:\\SQL\\B.MDF", "D:\\SQL\\A.MDF", "D:\\SQL\\Data\\SALES.MDF",
                           "D:\\SQL\\Data\\Deep\\D.MDF", "D:\\SQL\\Old\\O.MDF"}));
    EXPECT_EQ(sink.entered, (QStringList{"D:\\SQL\\", "D:\\SQL\\Data\\", "D:\\SQL\\Data\\Deep\\",
                                         "D:\\SQL\\Old\\"}));
    const search::FoundFile& sales = sink.rows.at(2);
    EXPECT_EQ(sales.fileName(), QStringLiteral("SALES.MDF"));
    EXPECT_EQ(sales.folderWithoutDrive(PathStyle::Windows), QStringLiteral("\\SQL\\Data\\"));
    EXPECT_EQ(sales.size, 1245184);
    EXPECT_EQ(sales.folder, QStringLiteral("D:\\SQL\\Data\\"));
    EXPECT_EQ(walk.total(), 10 + 20 + 1245184 + 1 + 2);
    // One yield per entry of every folder walked.
    EXPECT_EQ(sink.yields, 6 + 2 + 1 + 1);
}

TEST(FolderWalk, AFailureEndsOnlyThatFolder) {
    FakeEnumerator e = windowsTree();
    // Data fails after its first entry: nothing of it is listed, not even its subfolder Deep.
    e.folders["D:\\SQL\\Data\\"] = {{file("s1.mdf"), folder("Deep"), file("s2.mdf")}, 2};
    Recorder sink;
    search::FolderWalk(e, PathStyle::Windows).run(QStringLiteral("D:\\SQL\\"), "*.mdf", sink);
    EXPECT_EQ(sink.paths(), (QStringList{"D:\\SQL\\B.MDF", "D:\\SQL\\A.MDF",
                                         "D:\\SQL\\Data\\S1.MDF", "D:\\SQL\\Old\\O.MDF"}));

    // A size that cannot be read: no half row, the folder's later files and subfolders skipped.
    e = windowsTree();
    e.folders["D:\\SQL\\"].entries[3].size = -1;  // a.mdf
    Recorder second;
    search::FolderWalk(e, PathStyle::Windows).run(QStringLiteral("D:\\SQL\\"), "*.mdf", second);
    EXPECT_EQ(second.paths(), QStringList{"D:\\SQL\\B.MDF"});

    // A folder that cannot be opened yields no rows; its siblings are walked.
    e = windowsTree();
    e.folders.remove("D:\\SQL\\Data\\");
    Recorder third;
    search::FolderWalk(e, PathStyle::Windows).run(QStringLiteral("D:\\SQL\\"), "*.mdf", third);
    EXPECT_EQ(third.paths(),
              (QStringList{"D:\\SQL\\B.MDF", "D:\\SQL\\A.MDF", "D:\\SQL\\Old\\O.MDF"}));

    // A search folder that is not there: no rows at all.
    Recorder none;
    search::FolderWalk(e, PathStyle::Windows).run(QStringLiteral("Q:\\"), "*.mdf", none);
    EXPECT_TRUE(none.rows.isEmpty());
}

TEST(FolderWalk, TheTotalCountsPastFourGigabytesAndStopsAtOverflow) {
    FakeEnumerator e;
    const qint64 threeGiB = qint64(3) << 30;
    e.folders["D:\\"] = {{file("a.mdf", threeGiB), file("b.mdf", threeGiB), folder("X")}};
    e.folders["D:\\X\\"] = {
        {file("c.mdf", std::numeric_limits<qint64>::max() - 1), file("d.mdf", 1), folder("Y")}};
    e.folders["D:\\X\\Y\\"] = {{file("e.mdf", 1)}};
    Recorder sink;
    search::FolderWalk walk(e, PathStyle::Windows);
    walk.run(QStringLiteral("D:\\"), "*.mdf", sink);
    // c would overflow the total: X ends there, without c and without its subfolder Y.
    EXPECT_EQ(sink.paths(), (QStringList{"D:\\A.MDF", "D:\\B.MDF"}));
    EXPECT_EQ(walk.total(), 2 * threeGiB);
}

TEST(FolderWalk, AFolderMetTwiceIsWalkedOnce) {
    FakeEnumerator e = windowsTree();
    // Old is the same folder as Data reached by another name (a junction the platform did not
    // mark, a bind mount).
    e.folders["D:\\SQL\\Data\\"].inode = 77;
    e.folders["D:\\SQL\\Old\\"].inode = 77;
    Recorder sink;
    search::FolderWalk(e, PathStyle::Windows).run(QStringLiteral("D:\\SQL\\"), "*.mdf", sink);
    EXPECT_EQ(sink.rows.size(), 4);
    EXPECT_FALSE(sink.paths().contains(QStringLiteral("D:\\SQL\\Old\\O.MDF")));
}

TEST(FolderWalk, TheSinkCanStopTheWalk) {
    FakeEnumerator e = windowsTree();
    struct Stopper : Recorder {
        bool yield() override { return ++yields < 3; }
    } sink;
    EXPECT_FALSE(search::FolderWalk(e, PathStyle::Windows).run("D:\\SQL\\", "*.mdf", sink));
    EXPECT_EQ(sink.entered.size(), 1);
}

// The walk through the read-ahead lists what the walk lists alone: the same rows, the same
// folders entered, as many yields. Returns how many readers were started.
unsigned expectSameWalk(FakeEnumerator& e, const QString& root, search::ReadAhead::Limits limits) {
    Recorder plain;
    search::FolderWalk walk(e, PathStyle::Windows);
    walk.run(root, "*.mdf", plain);

    search::ReadAhead ahead(std::shared_ptr<fs::DirectoryEnumerator>(&e, [](auto*) {}),
                            PathStyle::Windows, "*.mdf", limits);
    Recorder read;
    search::FolderWalk readWalk(ahead, PathStyle::Windows);
    readWalk.run(root, "*.mdf", read);
    EXPECT_EQ(listed(read.rows), listed(plain.rows));
    EXPECT_EQ(read.entered, plain.entered);
    EXPECT_EQ(read.yields, plain.yields);
    EXPECT_EQ(readWalk.total(), walk.total());
    return ahead.readersStarted();
}

// Over each tree of hazards, also when reads end out of order, the listings held ahead are few,
// what was read below a folder is dropped and a reader runs out of memory.
TEST(FolderWalk, ReadingAheadListsWhatTheWalkLists) {
    using Change = std::function<void(FakeEnumerator&)>;
    const std::vector<std::pair<const char*, Change>> hazards = {
        {"plain", [](FakeEnumerator&) {}},
        {"fails partway",
         [](FakeEnumerator& e) {
             e.folders["D:\\SQL\\Data\\"] = {{file("s1.mdf"), folder("Deep"), file("s2.mdf")}, 2};
         }},
        {"no length", [](FakeEnumerator& e) { e.folders["D:\\SQL\\"].entries[3].size = -1; }},
        {"gone", [](FakeEnumerator& e) { e.folders.remove("D:\\SQL\\Data\\"); }},
        {"met twice",
         [](FakeEnumerator& e) {
             e.folders["D:\\SQL\\Data\\"].inode = 77;
             e.folders["D:\\SQL\\Old\\"].inode = 77;
         }},
        {"total overflows",
         [](FakeEnumerator& e) {
             e.folders["D:\\SQL\\Data\\"].entries[1].size = std::numeric_limits<qint64>::max();
         }},
        {"out of memory", [](FakeEnumerator& e) { e.throwsOnce = "D:\\SQL\\Old\\"; }},
        {"wide",
         [](FakeEnumerator& e) {
             for (int i = 0; i < 30; ++i) {
                 const QString name = QStringLiteral("f%1").arg(i);
                 const QString f = QStringLiteral("D:\\SQL\\Old\\") + name + QLatin1Char('\\');
                 e.folders["D:\\SQL\\Old\\"].entries.append({name, EntryKind::Folder});
                 e.folders[f] = {
                     {folder("g"), file("x.mdf", i)}, i == 5 ? 1 : -1, i == 9 ? 78u : 0u};
                 e.folders[f + "g\\"] = {{file("y.mdf", i), folder("h")}, -1, i == 3 ? 78u : 0u};
                 e.folders[f + "g\\h\\"] = {{file("z.mdf", i)}};
             }
         }},
    };
    search::ReadAhead::Limits fewAhead{4, 2, 6, true};
    unsigned readers = 0;
    for (const auto& [what, change] : hazards) {
        SCOPED_TRACE(what);
        FakeEnumerator e = windowsTree();
        change(e);
        e.slowUs = 1000;
        readers += expectSameWalk(e, QStringLiteral("D:\\SQL\\"), fewAhead);
    }
    EXPECT_GT(readers, 0u);
}

#ifndef _WIN32
// Reading ahead starts in the middle of the walk where folders come from the disk, foreseeing
// the rest of the walk from the folders on the way down, and stops where they come from the
// cache again; the walk lists the same all the way.
TEST(FolderWalk, ReadingAheadStartsAndStopsWithTheDisk) {
    // A block of a file of its own, dropped from the cache before each read.
    QTemporaryFile block;
    ASSERT_TRUE(block.open());
    ASSERT_TRUE(block.write(QByteArray(65536, 'x')) == 65536 && block.flush());
    ::fsync(int(block.handle()));
    const auto diskRead = [&] {
        char bytes[4096];
        ::posix_fadvise(int(block.handle()), 0, 0, POSIX_FADV_DONTNEED);
        return ::pread(int(block.handle()), bytes, sizeof bytes, 0) == sizeof bytes;
    };
    const std::optional<quint64> before = fs::blocksReadByThisThread();
    if (!diskRead() || !before || fs::blocksReadByThisThread() == before)
        GTEST_SKIP() << "no disk reads to be had here";

    FakeEnumerator e;
    e.diskRead = diskRead;
    const auto add = [&](const QString& parent, const char* name, int i, bool onDisk) {
        const QString folder = QString::fromLatin1(name) + QString::number(i);
        e.folders[parent].entries.append({folder, EntryKind::Folder});
        e.folders[parent + folder + "\\"] = {{file("f.mdf")}, -1, 0, onDisk};
        return parent + folder + "\\";
    };
    for (int i = 0; i < 30; ++i) add("D:\\", "a", i, false);
    const QString x = add("D:\\", "x", 0, false);
    const QString y = add(x, "y", 0, false);
    add(x, "x", 1, false);
    for (int i = 0; i < 40; ++i) add(add(y, "b", i, true), "s", 0, true);
    for (int i = 0; i < 150; ++i) add("D:\\", "c", i, false);
    EXPECT_GT(expectSameWalk(e, QStringLiteral("D:\\"), {}), 0u);
    // The search folder: by each walk, and again to foresee the rest when reading ahead started.
    EXPECT_GE(e.opened.count(QStringLiteral("D:\\")), 3);
}
#endif

// On the real file system of the host, in its path style: on Windows the search folder is
// upper-cased as the folder list gives it, and the rows show upper-cased names.
class RealTree : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString root() const {
        return fs::normaliseFolder(QDir::toNativeSeparators(dir_.path()), host_);
    }
    // A path below the root, written with "/" here, as the host writes it.
    QString at(QString rel) const {
        return root() + rel.replace(QLatin1Char('/'), fs::separator(host_));
    }
    // The path a row shows for the file at rel: Windows upper-cases the file's name.
    QString shown(const QString& rel) const {
        const qsizetype name = rel.lastIndexOf(QLatin1Char('/')) + 1;
        return at(rel.left(name)) +
               (host_ == PathStyle::Windows ? rel.mid(name).toUpper() : rel.mid(name));
    }
    void mkdir(const QString& rel) { ASSERT_TRUE(QDir().mkpath(at(rel))); }
    void write(const QString& rel, qint64 size) {
        QFile f(at(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
    }
#ifndef _WIN32
    void link(const QString& target, const QString& rel) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(root() + rel).constData()),
                  0);
    }
#endif
    QList<search::FoundFile> walk(const QString& pattern, Recorder& sink) {
        auto enumerator = fs::makeNativeEnumerator();
        search::FolderWalk(*enumerator, host_).run(root(), pattern, sink);
        return sink.rows;
    }

    QTemporaryDir dir_;
    const PathStyle host_ = fs::hostStyle();
};

TEST_F(RealTree, HiddenEntriesAreFoundAndPathsNameRealFiles) {
    mkdir(".Hidden Dir/Sub");
    mkdir("Data");
    write(".hidden.mdf", 5);
    write("Data/Sales.mdf", 1245184);
    // Windows shows a name without its blanks, so there the file has none to lose.
    const QString blank = host_ == PathStyle::Windows ? "Data/Blank.MDF" : "Data/ Blank.MDF";
    write(blank, 7);
    write(".Hidden Dir/Sub/h.Mdf", 3);
    write("Data/notes.txt", 1);
    write("Data/sales.mdf.bak", 1);
    Recorder sink;
    const auto rows = walk(QStringLiteral("*.MDF"), sink);
    ASSERT_EQ(rows.size(), 4);
    QStringList names;
    for (const auto& row : rows) {
        names.append(row.fileName());
        // Every column of a row belongs to the same file, and its path is the file found.
        EXPECT_EQ(row.fullPath().left(row.folder.size()), row.folder);
        EXPECT_TRUE(row.folder.endsWith(row.folderWithoutDrive(host_)));
        EXPECT_TRUE(row.folder.startsWith(root()));
        EXPECT_EQ(fs::fileLength(row.fullPath()), row.size) << row.fullPath().toStdString();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{".HIDDEN.MDF", "BLANK.MDF", "H.MDF", "SALES.MDF"}));
    EXPECT_TRUE(QStringList(sink.paths()).contains(shown(blank)));
    // The root's own match comes before anything below it.
    EXPECT_EQ(rows.first().fullPath(), shown(".hidden.mdf"));

    Recorder all;
    EXPECT_EQ(walk(QStringLiteral("*.*"), all).size(), 6);
}

#ifndef _WIN32
TEST_F(RealTree, LinksAreListedAsFilesButNeverWalked) {
    mkdir("a/b");
    write("a/b/real.mdf", 4);
    link(root() + "a", "a/b/up");  // a loop back to a parent
    link(root() + "a/b", "side");  // a second way into b
    link(root() + "a/b/real.mdf", "linked.mdf");
    link(root() + "nowhere.mdf", "dangling.mdf");
    link(root() + "a", "folder.mdf");  // a link to a folder, named like a match
    Recorder sink;
    const auto rows = walk(QStringLiteral("*.mdf"), sink);
    QStringList paths = sink.paths();
    paths.sort();
    EXPECT_EQ(paths, (QStringList{root() + "a/b/real.mdf", root() + "linked.mdf"}));
    EXPECT_EQ(sink.entered.size(), 3);  // the root, a, a/b
}
#endif

TEST_F(RealTree, AFolderThatVanishesYieldsNoRows) {
    mkdir("A");
    mkdir("B/C");
    write("A/a.mdf", 1);
    write("B/C/c.mdf", 1);
    write("r.mdf", 1);
    Recorder sink;
    // Whichever of A and B comes first takes the other away.
    sink.onEnter = [this](const QString& folder) {
        if (folder == at("A/")) QDir(at("B")).removeRecursively();
        if (folder == at("B/")) QDir(at("A")).removeRecursively();
    };
    const auto rows = walk(QStringLiteral("*.mdf"), sink);
    EXPECT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.first().fullPath(), shown("r.mdf"));
}

#ifndef _WIN32
TEST_F(RealTree, NamesThatAreNotTextAreLeftOut) {
    mkdir("d");
    const QByteArray bad = QFile::encodeName(root()) + "d/bad\xff.mdf";
    FILE* f = fopen(bad.constData(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    write("d/good.mdf", 1);
    Recorder sink;
    const auto rows = walk(QStringLiteral("*.mdf"), sink);
    ::unlink(bad.constData());  // Qt cannot name it to clean up
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().fileName(), QStringLiteral("GOOD.MDF"));
}

TEST_F(RealTree, UnreadableFolderWhenNotRoot) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder; the in-memory tree covers it";
    mkdir("locked");
    mkdir("open");
    write("locked/l.mdf", 1);
    write("open/o.mdf", 1);
    ASSERT_EQ(::chmod(QFile::encodeName(root() + "locked").constData(), 0), 0);
    Recorder sink;
    const auto rows = walk(QStringLiteral("*.mdf"), sink);
    ::chmod(QFile::encodeName(root() + "locked").constData(), 0755);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().fileName(), QStringLiteral("O.MDF"));
}

#endif

TEST_F(RealTree, ADeepTreeIsWalkedToTheBottom) {
    QString chain;
    for (int i = 0; i < 150; ++i) chain += QStringLiteral("d%1/").arg(i % 10);
    mkdir(chain);
    write(chain + "bottom.mdf", 1);
    write("d0/top.mdf", 1);
    Recorder sink;
    const auto rows = walk(QStringLiteral("*.mdf"), sink);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).fullPath(), shown("d0/top.mdf"));
    EXPECT_EQ(rows.at(1).fullPath(), shown(chain + "bottom.mdf"));
}

// A native enumerator that calls onOpen before it opens a folder, on whichever thread opens it.
class VanishingEnumerator : public fs::DirectoryEnumerator {
public:
    std::function<void(const QString&)> onOpen;
    std::unique_ptr<fs::FolderReader> open(const QString& folder, bool followLink) override {
        onOpen(folder);
        return native_->open(folder, followLink);
    }
    std::unique_ptr<fs::FolderReader> openSubfolder(fs::FolderReader& parent, const QString& name,
                                                    const QString& path) override {
        onOpen(path);
        return native_->openSubfolder(parent, name, path);
    }

private:
    std::unique_ptr<fs::DirectoryEnumerator> native_ = fs::makeNativeEnumerator();
};

#ifndef _WIN32

// The walk on its own thread, reading ahead, hands over exactly the rows the walk lists on the
// caller's thread, in the same order, over a tree with hidden entries, links, a name that is not
// text, a folder that vanishes as it is opened and folders deeper than the walk keeps open;
// holding it now and then loses nothing.
TEST_F(RealTree, TheWalkOnItsOwnThreadListsTheSameRows) {
    const QByteArray notText = QFile::encodeName(root()) + "d/bad\xff.mdf";
    const auto build = [&] {
        QDir(root()).removeRecursively();
        mkdir(".Hidden/Sub");
        mkdir("d/e");
        mkdir("gone/deep");
        mkdir("taker");
        write(".hidden.mdf", 5);
        write(".Hidden/Sub/h.Mdf", 3);
        write("d/Sales.MDF", 1245184);
        write("d/ Blank.mdf", 7);
        write("d/e/x.txt", 1);
        write("gone/deep/g.mdf", 1);
        write("taker/t.mdf", 2);
        for (int i = 0; i < 700; ++i) write(QStringLiteral("d/e/f%1.mdf").arg(i), i);
        mkdir(QStringLiteral("c/").repeated(80));
        write(QStringLiteral("c/").repeated(80) + "bottom.mdf", 1);
        link(root() + "d", "d/e/up");
        link(root() + "d/Sales.MDF", "linked.mdf");
        link(root() + "nowhere.mdf", "dangling.mdf");
        FILE* f = fopen(notText.constData(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    };
    auto enumerator = std::make_shared<VanishingEnumerator>();
    // A folder that goes just as it is opened, whichever thread opens it.
    enumerator->onOpen = [this](const QString& folder) {
        if (folder == root() + "gone/") QDir(root() + "gone").removeRecursively();
        QThread::usleep(100);
    };
    search::ReadAhead::Limits readers;
    readers.evenFromCache = true;

    for (const char* pattern : {"*.mdf", "*.*", "?.MDF", "*", "h*", "*.nothing"}) {
        SCOPED_TRACE(pattern);
        build();
        Recorder here;
        search::FolderWalk(*enumerator, PathStyle::Posix).run(root(), pattern, here);
        const std::vector<search::FoundFile> expected(here.rows.cbegin(), here.rows.cend());

        build();
        std::vector<search::FoundFile> taken;
        {
            search::BackgroundWalk walk(enumerator, PathStyle::Posix, root(), pattern, readers);
            for (int turn = 0;; ++turn) {
                walk.hold(turn % 3 == 1);
                search::BackgroundWalk::Progress progress = walk.take();
                std::move(progress.rows.begin(), progress.rows.end(), std::back_inserter(taken));
                if (progress.ended) break;
                QThread::usleep(100);
            }
        }
        EXPECT_EQ(listed(taken), listed(expected));
        // Rows of one folder share its text.
        for (size_t i = 1; i < taken.size(); ++i) {
            if (taken[i].folder != taken[i - 1].folder) continue;
            EXPECT_TRUE(taken[i].folder.isSharedWith(taken[i - 1].folder));
        }
    }
    ::unlink(notText.constData());

    // A pattern that lists rows finds the hidden, linked and plain files, not the odd names.
    build();
    Recorder all;
    search::FolderWalk(*enumerator, PathStyle::Posix).run(root(), "*.mdf", all);
    ::unlink(notText.constData());
    EXPECT_EQ(all.rows.size(), 700 + 7);
}

#endif

TEST_F(RealTree, AHeldWalkStopsWhenAskedAndLeavesNoThread) {
    for (int i = 0; i < 50; ++i) mkdir(QStringLiteral("f%1/g").arg(i));
    // Slow folders: readers are in the middle of their reads, and more of them start.
    auto enumerator = std::make_shared<VanishingEnumerator>();
    enumerator->onOpen = [](const QString&) { QThread::usleep(1500); };
    const int before = threads();
    search::ReadAhead::Limits readers;
    readers.evenFromCache = true;
    for (int round = 0; round < 10; ++round) {
        search::BackgroundWalk walk(enumerator, host_, root(), "*", readers);
        if (round % 2) walk.hold(true);
        if (round % 3) QThread::usleep(2000 * round);
        EXPECT_TRUE(walk.running());
        walk.stop();  // a held walk too
        EXPECT_FALSE(walk.running());
        // A joined thread leaves the process's list a moment after.
        for (int wait = 0; wait < 100 && threads() > before; ++wait) QThread::msleep(10);
        EXPECT_EQ(threads(), before);
    }
}
