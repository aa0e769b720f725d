// Statements that change databases, called the way the client sends them: create, detach,
// dbcc checkprimaryfile, sp_attach_db, sp_attach_single_file_db, log truncation and shrink.

#include <fstream>

#include "DataFile.h"
#include "EngineTestSupport.h"

namespace standin::test {
namespace {

namespace fs = std::filesystem;

class EngineDatabase : public EngineFixture {
protected:
    std::string files(const std::string& name) {
        fs::create_directories(dir_.path() / "files");
        return (dir_.path() / "files" / name).string();
    }
    // Creates database `name` with its files in files/: data 2 MB, log 1 MB.
    void create(const std::string& quotedName, const std::string& stem) {
        Reply r =
            run("CREATE DATABASE " + quotedName + " ON (NAME = N'" + stem + "', FILENAME = N'" +
                files(stem + ".mdf") + "', SIZE = 2MB) LOG ON (NAME = N'" + stem +
                "_log', FILENAME = N'" + files(stem + "_log.ldf") + "', SIZE = 1024KB)");
        ASSERT_FALSE(hasError(r)) << messages(r)[0].text;
    }
    Reply checkPrimary(const std::string& path, int option) {
        return run("dbcc checkprimaryfile (N'" + path + "'," + std::to_string(option) + ") ");
    }
    static int returnStatus(const Reply& r) {
        for (const Token& t : r) {
            if (auto* s = std::get_if<ReturnStatus>(&t)) return s->value;
        }
        return -1;
    }
    static void move(const std::string& from, const std::string& to) { fs::rename(from, to); }
};

TEST_F(EngineDatabase, CreateMakesRealFilesThatOutliveARestart) {
    create("shop", "shop");
    EXPECT_EQ(fs::file_size(files("shop.mdf")), 2u * 1024 * 1024);
    EXPECT_EQ(fs::file_size(files("shop_log.ldf")), 1024u * 1024);
    Reply plain = run("CREATE DATABASE plain");
    EXPECT_FALSE(hasError(plain));
    EXPECT_TRUE(fs::exists(dir_.path() / "data" / "plain.mdf"));
    EXPECT_TRUE(fs::exists(dir_.path() / "data" / "plain_log.ldf"));

    restart();
    EXPECT_EQ(databaseNames(),
              (std::vector<std::string>{"master", "model", "msdb", "plain", "shop", "tempdb"}));
    run("USE shop");
    auto rs = results(run("SELECT name FROM sysfiles WHERE(fileid= 2)"));
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].columns[0].type, ColType::NChar);
    EXPECT_EQ(rs[0].columns[0].maxChars, 128);
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"shop_log"}));
    rs = results(run("SELECT name, filename FROM sysfiles WHERE(fileid= 1)"));
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{files("shop.mdf")}));
    EXPECT_EQ(rs[0].columns[1].maxChars, 260);

    // The files stay held by the attached database after the restart.
    EXPECT_EQ(messageNumbers(checkPrimary(files("shop.mdf"), 2)), (std::vector<int>{5105}));
}

TEST_F(EngineDatabase, CreateRefusesWithoutTouchingOtherFiles) {
    create("shop", "shop");
    EXPECT_EQ(messageNumbers(run("CREATE DATABASE SHOP")), (std::vector<int>{1801}));

    std::ofstream(files("keep.mdf")) << "precious";
    Reply exists = run("CREATE DATABASE k ON (NAME = k, FILENAME = '" + files("keep.mdf") + "')");
    EXPECT_EQ(messageNumbers(exists), (std::vector<int>{5170, 1802}));
    EXPECT_EQ(fs::file_size(files("keep.mdf")), 8u);

    EXPECT_EQ(messageNumbers(run("CREATE DATABASE r ON (NAME = r, FILENAME = 'rel.mdf')")),
              (std::vector<int>{5105, 1802}));
    Reply noDir =
        run("CREATE DATABASE n ON (NAME = n, FILENAME = '" + files("no/such/n.mdf") + "')");
    EXPECT_EQ(messageNumbers(noDir), (std::vector<int>{5123, 1802}));
    // A database name that would leave the data directory gets no files anywhere.
    EXPECT_EQ(messageNumbers(run("CREATE DATABASE [../../escape]")),
              (std::vector<int>{5123, 1802}));
    EXPECT_FALSE(fs::exists(dir_.path() / "data" / ".." / ".." / "escape.mdf"));
    EXPECT_EQ(messageNumbers(run("CREATE DATABASE x ON (NAME = [../up], SIZE = 1)")),
              (std::vector<int>{5123, 1802}));
    // A failed create leaves none of its files behind.
    Reply half = run("CREATE DATABASE h ON (NAME = h, FILENAME = '" + files("h.mdf") +
                     "') LOG ON (NAME = hl, FILENAME = '" + files("keep.mdf") + "')");
    EXPECT_EQ(messageNumbers(half), (std::vector<int>{5170, 1802}));
    EXPECT_FALSE(fs::exists(files("h.mdf")));
    EXPECT_EQ(databaseNames().size(), 5u);
}

TEST_F(EngineDatabase, CheckPrimaryFileReportsWhatTheHeaderRecords) {
    create("shop", "shop");
    ASSERT_EQ(returnStatus(run("EXEC sp_detach_db @dbname = 'shop'")), 0);

    Reply r2 = checkPrimary(files("shop.mdf"), 2);
    auto rs = results(r2);
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].columns[1].type, ColType::SqlVariant);
    EXPECT_EQ(column(rs[0], 0),
              (std::vector<std::string>{"Database name", "Database version", "Collation"}));
    EXPECT_EQ(rs[0].rows[0][1].text, "shop");
    EXPECT_EQ(rs[0].rows[1][1].i, 539);
    EXPECT_EQ(rs[0].rows[2][1].kind, Value::Kind::Int);
    // Rows, DONE with the count, INFO 2528, final DONE.
    ASSERT_EQ(r2.size(), 4u);
    EXPECT_EQ(std::get<Done>(r2[1]).status, DoneMore | DoneCount);
    EXPECT_EQ(std::get<Done>(r2[1]).rowCount, 3u);
    EXPECT_EQ(std::get<Message>(r2[2]).number, 2528);
    EXPECT_EQ(std::get<Message>(r2[2]).severity, 10);

    rs = results(checkPrimary(files("shop.mdf"), 3));
    ASSERT_EQ(rs[0].rows.size(), 2u);
    EXPECT_EQ(rs[0].columns[3].name, "filename");
    EXPECT_EQ(column(rs[0], 3),
              (std::vector<std::string>{files("shop.mdf"), files("shop_log.ldf")}));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"2", "66"}));

    EXPECT_EQ(column(results(checkPrimary(files("shop.mdf"), 0))[0], 0),
              (std::vector<std::string>{"1"}));
    EXPECT_EQ(column(results(checkPrimary(files("shop_log.ldf"), 0))[0], 0),
              (std::vector<std::string>{"0"}));
    std::ofstream(files("fake.MDF")) << std::string(70000, 'z');
    EXPECT_EQ(column(results(checkPrimary(files("fake.MDF"), 0))[0], 0),
              (std::vector<std::string>{"0"}));

    Reply notPrimary = checkPrimary(files("shop_log.ldf"), 3);
    EXPECT_EQ(messageNumbers(notPrimary), (std::vector<int>{5171}));
    EXPECT_EQ(messages(notPrimary)[0].text,
              files("shop_log.ldf") + " is not a primary database file.");
    EXPECT_EQ(messageNumbers(checkPrimary(files("fake.MDF"), 2)), (std::vector<int>{5171}));
    Reply missing = checkPrimary(files("gone.mdf"), 2);
    EXPECT_EQ(messageNumbers(missing), (std::vector<int>{5105}));
    EXPECT_EQ(messages(missing)[0].text, "Device activation error. The physical file name '" +
                                             files("gone.mdf") + "' may be incorrect.");
    EXPECT_EQ(dones(missing).back().status, DoneError);

    Reply quiet = run("DBCC CHECKPRIMARYFILE ('" + files("shop.mdf") + "', 3) WITH NO_INFOMSGS");
    EXPECT_TRUE(messages(quiet).empty());
    EXPECT_EQ(results(quiet).size(), 1u);
}

TEST_F(EngineDatabase, AttachFromANewFolderRecordsTheNewPaths) {
    create("shop", "shop");
    run("EXEC sp_detach_db @dbname = 'shop'");
    fs::create_directories(dir_.path() / "bak");
    const std::string mdf = (dir_.path() / "bak" / "SHOP.MDF").string();
    const std::string ldf = (dir_.path() / "bak" / "shop_log.ldf").string();
    move(files("shop.mdf"), mdf);
    move(files("shop_log.ldf"), ldf);

    Reply r = run("sp_attach_db  N'shop', N'" + mdf + "', N'" + ldf + "'");
    EXPECT_FALSE(hasError(r));
    EXPECT_EQ(returnStatus(r), 0);
    ASSERT_EQ(r.size(), 2u);  // RETURNSTATUS, DONEPROC
    EXPECT_EQ(std::get<Done>(r.back()).kind, Done::Kind::DoneProc);
    EXPECT_EQ(databaseNames().size(), 5u);

    restart();
    run("USE shop");
    auto rs = results(run("SELECT fileid, filename FROM sysfiles ORDER BY fileid"));
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{mdf, ldf}));
    run("USE master");
    run("EXEC sp_detach_db 'shop'");
    EXPECT_EQ(column(results(checkPrimary(mdf, 3))[0], 3), (std::vector<std::string>{mdf, ldf}));

    // Named parameters, and the log found at its recorded path when it is not named.
    Reply named = run("EXEC sp_attach_db @dbname = N'shop2', @filename1 = N'" + mdf + "'");
    EXPECT_EQ(returnStatus(named), 0);
    EXPECT_FALSE(hasError(named));
}

// A server on a Windows host reads a path on its drive with "\" and in any letter case.
TEST_F(EngineDatabase, PathsOnAWindowsDriveNameTheHostsFiles) {
    create("shop", "shop");
    run("EXEC sp_detach_db @dbname = 'shop'");
    options_.windowsDrives['W'] = dir_.path().string();
    restart();
    const std::string mdf = "w:\\FILES\\SHOP.MDF";
    EXPECT_EQ(column(results(checkPrimary(mdf, 3))[0], 3),
              (std::vector<std::string>{files("shop.mdf"), files("shop_log.ldf")}));
    Reply r = run("sp_attach_db  N'shop', N'" + mdf + "', N'W:\\Files\\Shop_Log.LDF'");
    EXPECT_FALSE(hasError(r));
    // Another drive, or none, is no path on this host.
    EXPECT_EQ(messageNumbers(checkPrimary("Q:\\FILES\\SHOP.MDF", 2)),
              messageNumbers(checkPrimary("FILES\\SHOP.MDF", 2)));
}

TEST_F(EngineDatabase, AttachRefusals) {
    create("shop", "shop");
    create("other", "other");
    run("EXEC sp_detach_db @dbname = 'shop'");
    run("EXEC sp_detach_db @dbname = 'other'");
    std::ofstream(files("text.mdf")) << std::string(70000, 't');
    const std::string mdf = files("shop.mdf"), ldf = files("shop_log.ldf");

    struct Case {
        std::string sql;
        std::vector<int> numbers;
    } cases[] = {
        {"sp_attach_db  N'master', N'" + mdf + "', N'" + ldf + "'", {1801}},
        {"sp_attach_db  N'x', N'" + files("none.mdf") + "', N'" + ldf + "'", {5105, 1813}},
        {"sp_attach_db  N'x', N'" + files("text.mdf") + "', N'" + ldf + "'", {5171, 1813}},
        {"sp_attach_db  N'x', N'" + ldf + "', N'" + ldf + "'", {5171, 1813}},
        {"sp_attach_db  N'x', N'" + mdf + "', N'" + files("other_log.ldf") + "'", {5173, 1813}},
        {"sp_attach_db  N'x', N'" + mdf + "', N'" + files("text.mdf") + "'", {5173, 1813}},
        {"sp_attach_db  N'x', N'" + mdf + "', N'" + files("none.ldf") + "'", {5105, 1813}},
        {"sp_attach_db  N'x', N'" + mdf + "', N'" + mdf + "'", {5173, 1813}},
        {"sp_attach_db  N'x'", {201}},
        {"sp_attach_db @nosuch = 'x'", {8145}},
    };
    for (const Case& c : cases) {
        Reply r = run(c.sql);
        EXPECT_EQ(messageNumbers(r), c.numbers) << c.sql;
        EXPECT_EQ(returnStatus(r), 1) << c.sql;
        const auto d = dones(r);
        ASSERT_GE(d.size(), 2u);
        EXPECT_EQ(d[d.size() - 2].kind, Done::Kind::DoneInProc);
        EXPECT_NE(d[d.size() - 2].status & DoneError, 0);
    }
    EXPECT_EQ(messages(run(cases[0].sql))[0].text, "Database 'master' already exists.");
    EXPECT_EQ(messages(run(cases[1].sql))[1].text,
              "Could not open new database 'x'. CREATE DATABASE is aborted.");

    // A file of an attached database is in use, whether named or found at its recorded path.
    ASSERT_EQ(returnStatus(run("sp_attach_db  N'shop', N'" + mdf + "', N'" + ldf + "'")), 0);
    fs::copy_file(mdf, files("copy.mdf"));
    EXPECT_EQ(messageNumbers(run("sp_attach_db  N'y', N'" + mdf + "'")),
              (std::vector<int>{5105, 1813}));
    EXPECT_EQ(
        messageNumbers(run("sp_attach_db  N'y', N'" + files("copy.mdf") + "', N'" + ldf + "'")),
        (std::vector<int>{5105, 1813}));
    EXPECT_EQ(messageNumbers(run("sp_attach_db  N'y', N'" + files("copy.mdf") + "'")),
              (std::vector<int>{5105, 1813}));
    EXPECT_EQ(databaseNames().size(), 5u);
}

TEST_F(EngineDatabase, SecondaryFilesTravelWithTheDatabase) {
    Reply c = run("CREATE DATABASE big ON PRIMARY (NAME = big, FILENAME = '" + files("big.mdf") +
                  "'), FILEGROUP extra (NAME = big2, FILENAME = '" + files("big2.ndf") +
                  "', SIZE = 1MB) LOG ON (NAME = big_log, FILENAME = '" + files("big.ldf") + "')");
    ASSERT_FALSE(hasError(c));
    run("EXEC sp_detach_db 'big'");
    auto rs = results(checkPrimary(files("big.mdf"), 3));
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(column(rs[0], 2), (std::vector<std::string>{"big", "big_log", "big2"}));

    fs::create_directories(dir_.path() / "moved");
    auto moved = [&](const std::string& n) { return (dir_.path() / "moved" / n).string(); };
    for (const char* n : {"big.mdf", "big2.ndf", "big.ldf"}) move(files(n), moved(n));
    // The secondary is not named and is not at its recorded path.
    EXPECT_EQ(messageNumbers(run("sp_attach_db  N'big', N'" + moved("big.mdf") + "', N'" +
                                 moved("big.ldf") + "'")),
              (std::vector<int>{5105, 1813}));
    // Named in any order, under a new database name.
    Reply a = run("EXEC sp_attach_db @dbname = N'big_copy', @filename1 = N'" + moved("big.mdf") +
                  "', @filename2 = N'" + moved("big2.ndf") + "', @filename3 = N'" +
                  moved("big.ldf") + "'");
    EXPECT_EQ(returnStatus(a), 0);
    run("EXEC sp_detach_db 'big_copy'");
    rs = results(checkPrimary(moved("big.mdf"), 2));
    EXPECT_EQ(rs[0].rows[0][1].text, "big_copy");
    EXPECT_EQ(column(results(checkPrimary(moved("big.mdf"), 3))[0], 3),
              (std::vector<std::string>{moved("big.mdf"), moved("big.ldf"), moved("big2.ndf")}));

    // The same files through CREATE DATABASE ... FOR ATTACH.
    Reply f =
        run("CREATE DATABASE big ON (FILENAME = '" + moved("big.mdf") + "'), (FILENAME = '" +
            moved("big2.ndf") + "') LOG ON (FILENAME = '" + moved("big.ldf") + "') FOR ATTACH");
    EXPECT_FALSE(hasError(f));
    run("USE big");
    rs = results(run("DBCC SHRINKDATABASE (0) WITH NO_INFOMSGS"));
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].rows.size(), 3u);

    EXPECT_EQ(messageNumbers(run("CREATE DATABASE z LOG ON (FILENAME = '" + moved("big.ldf") +
                                 "') FOR ATTACH")),
              (std::vector<int>{102}));
    std::string tooMany = "sp_attach_db x";
    for (int i = 0; i < 17; ++i) tooMany += ", 'f'";
    EXPECT_EQ(messageNumbers(run(tooMany)), (std::vector<int>{8144}));
}

TEST_F(EngineDatabase, ATornHeaderWriteDuringDetachLeavesTheFilesAttachable) {
    create("shop", "shop");
    run("EXEC sp_detach_db 'shop'");
    // Tear the clean-detach header of both files, as a crash in the middle of the write would.
    for (const std::string& p : {files("shop.mdf"), files("shop_log.ldf")}) {
        auto ins = DataFile::inspect(p);
        ASSERT_EQ(ins.status, DataFile::Status::Ok);
        ASSERT_TRUE(ins.header.cleanlyDetached);
        std::fstream io(p, std::ios::in | std::ios::out | std::ios::binary);
        io.seekp(static_cast<std::streamoff>(DataFile::slotOffset(ins.header.sequence) + 100));
        io << std::string(500, '\xff');
    }
    // The previous header is in force: the files still read, but the database counts as not
    // cleanly detached, so it cannot start over without its log; with it, it attaches.
    EXPECT_EQ(results(checkPrimary(files("shop.mdf"), 2))[0].rows[0][1].text, "shop");
    move(files("shop_log.ldf"), files("aside.ldf"));
    EXPECT_EQ(messageNumbers(run("sp_attach_single_file_db  shop,'" + files("shop.mdf") + "'")),
              (std::vector<int>{5105, 1813}));
    EXPECT_FALSE(fs::exists(files("shop_log.LDF")));
    move(files("aside.ldf"), files("shop_log.ldf"));
    Reply a = run("sp_attach_db  N'shop', N'" + files("shop.mdf") + "', N'" +
                  files("shop_log.ldf") + "'");
    EXPECT_EQ(returnStatus(a), 0);
    EXPECT_EQ(databaseNames().size(), 5u);
}

TEST_F(EngineDatabase, SingleFileAttachBuildsANewLogOnlyAfterACleanDetach) {
    create("shop", "shop");
    fs::create_directories(dir_.path() / "bak");
    const std::string copy = (dir_.path() / "bak" / "SHOP.MDF").string();
    // A copy taken while attached was not cleanly detached: its log is still in use.
    fs::copy_file(files("shop.mdf"), copy);
    Reply unclean = run("sp_attach_single_file_db  shop2,'" + copy + " '");
    EXPECT_EQ(messageNumbers(unclean), (std::vector<int>{5105, 1813}));
    EXPECT_EQ(returnStatus(unclean), 1);
    fs::remove(copy);

    run("EXEC sp_detach_db @dbname = 'shop'");
    move(files("shop.mdf"), copy);
    fs::remove(files("shop_log.ldf"));
    // The client's text: unquoted name, one blank before the closing quote of the path.
    Reply r = run("sp_attach_single_file_db  shop,'" + copy + " '");
    EXPECT_EQ(returnStatus(r), 0);
    auto ms = messages(r);
    ASSERT_EQ(ms.size(), 2u);
    EXPECT_EQ(ms[0].number, 5105);
    EXPECT_EQ(ms[0].severity, 10);
    EXPECT_EQ(ms[0].text, "Device activation error. The physical file name '" +
                              files("shop_log.ldf") + "' may be incorrect.");
    const std::string newLog = (dir_.path() / "bak" / "shop_log.LDF").string();
    EXPECT_EQ(ms[1].number, 5182);
    EXPECT_EQ(ms[1].text, "New log file '" + newLog + "' was created.");
    EXPECT_TRUE(fs::exists(newLog));

    run("USE shop");
    auto rs = results(run("SELECT name, filename FROM sysfiles WHERE(fileid= 2)"));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"shop_log"}));
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{newLog}));

    // The new log never replaces a file that is already there.
    run("USE master");
    run("EXEC sp_detach_db 'shop'");
    fs::remove(newLog);
    std::ofstream(newLog) << "someone else's";
    EXPECT_EQ(messageNumbers(run("sp_attach_single_file_db  shop,'" + copy + "'")),
              (std::vector<int>{5170, 1813}));
    EXPECT_EQ(fs::file_size(newLog), 14u);
    EXPECT_EQ(messageNumbers(run("sp_attach_single_file_db  shop,'relative/SHOP.MDF'")),
              (std::vector<int>{5105, 1813}));

    // A primary named as the log, or a missing primary, is refused.
    run("USE master");
    EXPECT_EQ(messageNumbers(run("sp_attach_single_file_db  x,'" + files("none.mdf") + "'")),
              (std::vector<int>{5105, 1813}));
    ASSERT_EQ(returnStatus(
                  run("sp_attach_db  N'shop', N'" + copy + "', N'" + files("shop_log.ldf") + "'")),
              1);
}

TEST_F(EngineDatabase, DetachRefusalsAndInUse) {
    create("shop", "shop");
    struct Case {
        std::string sql;
        int number;
        std::string text;
    } cases[] = {
        {"EXEC sp_detach_db @dbname = 'master'", 7940,
         "System databases master, model, msdb, and tempdb cannot be detached."},
        {"EXEC sp_detach_db @dbname = 'nosuch'", 15010,
         "The database 'nosuch' does not exist. Use sp_helpdb to show available databases."},
        {"EXEC sp_detach_db tempdb", 7940, ""},
    };
    for (const Case& c : cases) {
        Reply r = run(c.sql);
        ASSERT_EQ(messageNumbers(r), (std::vector<int>{c.number})) << c.sql;
        if (!c.text.empty()) {
            EXPECT_EQ(messages(r)[0].text, c.text);
        }
        EXPECT_EQ(returnStatus(r), 1);
    }

    Session other;
    ASSERT_TRUE(engine_->login("sa", "secret", "shop", other).accepted);
    Reply busy = run("EXEC sp_detach_db @dbname = 'shop'");
    EXPECT_EQ(messageNumbers(busy), (std::vector<int>{3703}));
    EXPECT_EQ(messages(busy)[0].text,
              "Cannot detach the database 'shop' because it is currently in use.");
    engine_->executeBatch(other, "USE master");
    run("USE shop");
    EXPECT_EQ(messageNumbers(run("USE shop EXEC sp_detach_db 'shop'")),
              (std::vector<int>{5701, 3703}));
    run("USE master");
    engine_->executeBatch(other, "USE shop");
    engine_->logout(other);
    Reply ok = run("EXEC sp_detach_db @dbname = 'shop'");
    EXPECT_FALSE(hasError(ok));
    EXPECT_EQ(returnStatus(ok), 0);
    EXPECT_EQ(databaseNames().size(), 4u);
    restart();
    EXPECT_EQ(databaseNames().size(), 4u);
}

TEST_F(EngineDatabase, ShrinkReallyReducesTheFilesOnDisk) {
    create("shop", "shop");
    const auto logBefore = fs::file_size(files("shop_log.ldf"));
    Reply r = run("USE shop");
    r = run("BACKUP LOG shop WITH TRUNCATE_ONLY DBCC SHRINKFILE (shop_log)");
    EXPECT_FALSE(hasError(r));
    auto rs = results(r);
    ASSERT_EQ(rs.size(), 1u);
    ASSERT_EQ(rs[0].columns.size(), 6u);
    EXPECT_EQ(rs[0].columns[0].name, "DbId");
    EXPECT_EQ(rs[0].columns[5].name, "EstimatedPages");
    EXPECT_EQ(rs[0].rows[0][1].i, 2);
    const auto logAfter = fs::file_size(files("shop_log.ldf"));
    EXPECT_LT(logAfter, logBefore);
    EXPECT_EQ(static_cast<uint64_t>(rs[0].rows[0][2].i) * 8192, logAfter);
    EXPECT_EQ(messageNumbers(r), (std::vector<int>{2528}));
    // BACKUP's DONE, then the shrink's rows, DONE with count, 2528, final DONE.
    EXPECT_EQ(dones(r).size(), 3u);

    const auto dataBefore = fs::file_size(files("shop.mdf"));
    rs = results(run("DBCC SHRINKFILE (1)"));
    EXPECT_LT(fs::file_size(files("shop.mdf")), dataBefore);
    EXPECT_GT(fs::file_size(files("shop.mdf")), 0u);
    // Shrinking again, or to a larger target, never grows or cuts used pages.
    const auto shrunk = fs::file_size(files("shop.mdf"));
    run("DBCC SHRINKFILE (shop, 1)");
    EXPECT_EQ(fs::file_size(files("shop.mdf")), shrunk);

    EXPECT_EQ(messageNumbers(run("DBCC SHRINKFILE (nosuch)")), (std::vector<int>{8985}));
    EXPECT_EQ(messageNumbers(run("BACKUP LOG nosuch WITH TRUNCATE_ONLY")),
              (std::vector<int>{911, 3013}));
    // master's log cannot be backed up: the batch goes on to the shrink, but reports the error.
    Reply m = run("USE master BACKUP LOG master WITH TRUNCATE_ONLY DBCC SHRINKFILE (mastlog)");
    EXPECT_EQ(messageNumbers(m), (std::vector<int>{5701, 4212, 3013, 2528}));
    EXPECT_EQ(messageNumbers(run("BACKUP LOG tempdb WITH NO_LOG")), (std::vector<int>{3147, 3013}));
    EXPECT_FALSE(hasError(run("BACKUP LOG model WITH TRUNCATE_ONLY")));
    run("USE shop");

    // The database still attaches after detach: headers were not cut off.
    run("USE master");
    run("EXEC sp_detach_db 'shop'");
    EXPECT_EQ(returnStatus(run("sp_attach_db  N'shop', N'" + files("shop.mdf") + "', N'" +
                               files("shop_log.ldf") + "'")),
              0);
}

TEST_F(EngineDatabase, NamesThatNeedQuotingWorkWhenQuoted) {
    struct Name {
        std::string bracketed;
        std::string literal;  // inside N'...'
        std::string plain;
        std::string stem;
    } names[] = {
        {"[my db]", "my db", "my db", "mydb"},
        {"[O'Brien]", "O''Brien", "O'Brien", "obrien"},
        {"[销售库]", "销售库", "销售库", "sales"},
        {"[a]]b]", "a]b", "a]b", "ab"},
    };
    for (const Name& n : names) {
        create(n.bracketed, n.stem);
        run("USE " + n.bracketed);
        Reply s = run("BACKUP LOG " + n.bracketed + " WITH TRUNCATE_ONLY DBCC SHRINKFILE (" +
                      n.stem + "_log)");
        EXPECT_FALSE(hasError(s)) << n.plain;
        run("USE master");
        Reply d = run("EXEC sp_detach_db @dbname = N'" + n.literal + "'");
        EXPECT_EQ(returnStatus(d), 0) << n.plain;
        auto rs = results(checkPrimary(files(n.stem + ".mdf"), 2));
        ASSERT_EQ(rs.size(), 1u);
        EXPECT_EQ(rs[0].rows[0][1].text, n.plain);
        Reply a = run("sp_attach_db  N'" + n.literal + "', N'" + files(n.stem + ".mdf") + "', N'" +
                      files(n.stem + "_log.ldf") + "'");
        EXPECT_EQ(returnStatus(a), 0) << n.plain;
    }
    EXPECT_EQ(databaseNames().size(), 8u);
    // Unquoted, a name with a blank breaks the statement, as on the server.
    EXPECT_EQ(messageNumbers(run("BACKUP LOG my db WITH TRUNCATE_ONLY")), (std::vector<int>{102}));
    // The client's unescaped quote ends the literal early and the server refuses the batch.
    EXPECT_EQ(messageNumbers(run("EXEC sp_detach_db @dbname = 'O'Brien'")),
              (std::vector<int>{105}));
}

TEST_F(EngineDatabase, ProcedureArgumentsAndDbccArgumentsAreChecked) {
    create("shop", "shop");
    struct Case {
        std::string sql;
        std::vector<int> numbers;
    } cases[] = {
        {"EXEC sp_detach_db @dbname = 'x', 'y'", {119}},
        {"EXEC sp_detach_db NULL", {201}},
        {"EXEC sp_detach_db @dbname = DEFAULT", {201}},
        {"EXEC sp_detach_db 'a', 'b', 'c'", {8144}},
        {"EXEC sp_attach_single_file_db @dbname = 'x'", {201}},
        {"EXEC tempdb.dbo.sp_detach_db 'shop'", {2812}},
        {"DBCC CHECKPRIMARYFILE ('" + files("shop.mdf") + "')", {2526}},
        {"DBCC CHECKPRIMARYFILE ('" + files("shop.mdf") + "', 9)", {2526}},
        {"DBCC CHECKPRIMARYFILE ('" + files("shop.mdf") + "', 2) WITH BOGUS", {2526}},
        {"DBCC NOSUCHCOMMAND", {2526}},
        {"DBCC SHRINKFILE (shop, 'lots')", {2526}},
    };
    for (const Case& c : cases) EXPECT_EQ(messageNumbers(run(c.sql)), c.numbers) << c.sql;
    // @skipchecks is accepted, in either form, and the detach goes ahead.
    Reply ok = run("EXEC master..sp_detach_db @skipchecks = 'true', @dbname = [shop]");
    EXPECT_EQ(returnStatus(ok), 0);

    // sysaltfiles in master and DB_NAME / DB_ID over the catalog.
    create("alt", "alt");
    auto rs =
        results(run("SELECT dbid, name FROM master..sysaltfiles WHERE name LIKE 'alt%' "
                    "ORDER BY name SELECT DB_NAME(5), DB_ID('ALT'), DB_NAME(999)"));
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{"alt", "alt_log"}));
    EXPECT_EQ(rs[1].rows[0][0].text, "alt");
    EXPECT_EQ(rs[1].rows[0][1].i, 5);
    EXPECT_EQ(rs[1].rows[0][2].kind, Value::Kind::Null);
}

TEST_F(EngineDatabase, AnErrorInTheSecondStatementDoesNotStopTheThird) {
    create("shop", "shop");
    Reply r = run("EXEC sp_detach_db 'nosuch'; EXEC sp_detach_db 'shop'; SELECT 1");
    EXPECT_EQ(messageNumbers(r), (std::vector<int>{15010}));
    EXPECT_EQ(results(r).size(), 1u);
    EXPECT_EQ(databaseNames().size(), 4u);
}

TEST_F(EngineDatabase, RestartAfterACrashFindsEveryAttachedDatabase) {
    create("shop", "shop");
    create("gone", "gone");
    // A crash before the rename of a new catalog leaves its temporary file.
    std::ofstream(dir_.path() / "data" / "catalog.kvc.tmp") << "half written";
    engine_.reset();
    fs::remove(files("gone.mdf"));
    open();
    EXPECT_EQ(databaseNames().size(), 6u);
    auto rs = results(run("SELECT name, status FROM sysdatabases WHERE name = 'gone'"));
    ASSERT_EQ(rs[0].rows.size(), 1u);
    EXPECT_NE(rs[0].rows[0][1].i & 256, 0);
    EXPECT_EQ(messageNumbers(run("USE gone")), (std::vector<int>{945}));
    EXPECT_EQ(returnStatus(run("EXEC sp_detach_db 'gone'")), 0);
    run("USE shop");
    EXPECT_FALSE(hasError(run("DBCC SHRINKFILE (shop_log)")));

    // A crash in the middle of attach's header write: the header before it is in force, and
    // the catalog, written after it, still lists the database as attached.
    run("USE master");
    run("EXEC sp_detach_db 'shop'");
    ASSERT_EQ(returnStatus(run("sp_attach_db  N'shop', N'" + files("shop.mdf") + "', N'" +
                               files("shop_log.ldf") + "'")),
              0);
    engine_.reset();
    {
        auto ins = DataFile::inspect(files("shop.mdf"));
        ASSERT_EQ(ins.status, DataFile::Status::Ok);
        std::fstream io(files("shop.mdf"), std::ios::in | std::ios::out | std::ios::binary);
        io.seekp(static_cast<std::streamoff>(DataFile::slotOffset(ins.header.sequence) + 64));
        io << std::string(64, '\0');
    }
    open();
    run("USE shop");
    EXPECT_EQ(column(results(run("SELECT name FROM sysfiles WHERE(fileid= 2)"))[0], 0),
              (std::vector<std::string>{"shop_log"}));
    run("USE master");

    // A damaged catalog stops the server instead of forgetting databases.
    engine_.reset();
    std::ofstream(dir_.path() / "data" / "catalog.kvc", std::ios::app) << "db 9 0 0 x x\n";
    EXPECT_THROW(Engine(dir_.path() / "data", "secret"), std::runtime_error);
}

}  // namespace
}  // namespace standin::test
