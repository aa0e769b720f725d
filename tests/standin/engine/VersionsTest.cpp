// The releases the stand-in plays: what each says about itself and how each refuses the files
// Korvid meets, one table row per release.

#include <filesystem>

#include "DataFile.h"
#include "EngineTestSupport.h"

namespace standin::test {
namespace {

namespace fs = std::filesystem;

ServerVersion version(const char* name) {
    return *ServerVersion::parse(name);
}

class Versions : public EngineFixture {
protected:
    void play(const char* name) {
        options_.version = version(name);
        restart();
    }
    std::string files(const std::string& name) {
        fs::create_directories(dir_.path() / "files");
        return (dir_.path() / "files" / name).string();
    }
    void create(const std::string& name) {
        Reply r = run("CREATE DATABASE " + name + " ON (NAME = " + name + ", FILENAME = '" +
                      files(name + ".mdf") + "') LOG ON (NAME = " + name + "_log, FILENAME = '" +
                      files(name + "_log.ldf") + "')");
        ASSERT_FALSE(hasError(r)) << messages(r)[0].text;
    }
    Reply attach(const std::string& name, const std::string& stem) {
        return run("sp_attach_db N'" + name + "', N'" + files(stem + ".mdf") + "', N'" +
                   files(stem + "_log.ldf") + "'");
    }
    int64_t recordedVersion(const std::string& mdf) {
        auto rs = results(run("DBCC CHECKPRIMARYFILE (N'" + mdf + "', 2)"));
        return rs.empty() ? -1 : rs[0].rows.at(1).at(1).i;
    }
};

TEST_F(Versions, EachReleaseNamesItselfAndShapesItsSystemTables) {
    struct Row {
        const char* version;
        const char* productVersion;
        const char* level;
        const char* versionStart;
        std::array<uint8_t, 4> loginAck;
        int cmptlevel;
        ColType sysfilesName;
    } rows[] = {
        {"8.0",
         "8.00.2039",
         "SP4",
         "Microsoft SQL Server  2000 - 8.00.2039",
         {8, 0, 0x07, 0xF7},
         80,
         ColType::NChar},
        {"9.0",
         "9.00.5000.00",
         "SP4",
         "Microsoft SQL Server 2005 - 9.00.5000.00",
         {9, 0, 0x13, 0x88},
         90,
         ColType::NVarChar},
        {"10.50",
         "10.50.6000.34",
         "SP3",
         "Microsoft SQL Server 2008 R2 (SP3) - 10.50.6000.34",
         {10, 50, 0x17, 0x70},
         100,
         ColType::NVarChar},
        {"15.0",
         "15.0.4236.7",
         "RTM",
         "Microsoft SQL Server 2019 (RTM-CU16-GDR)",
         {15, 0, 0x10, 0x8C},
         150,
         ColType::NVarChar},
        {"16.0",
         "16.0.1000.6",
         "RTM",
         "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6",
         {16, 0, 0x03, 0xE8},
         160,
         ColType::NVarChar},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        play(row.version);
        EXPECT_EQ(engine_->version().loginAckVersion(), row.loginAck);
        auto rs =
            results(run("SELECT @@VERSION, SERVERPROPERTY('ProductVersion'), "
                        "SERVERPROPERTY('productlevel'), SERVERPROPERTY('Edition')"));
        ASSERT_EQ(rs.size(), 1u);
        EXPECT_EQ(rs[0].rows[0][0].text.rfind(row.versionStart, 0), 0u) << rs[0].rows[0][0].text;
        EXPECT_EQ(rs[0].rows[0][1].text, row.productVersion);
        EXPECT_EQ(rs[0].rows[0][2].text, row.level);
        EXPECT_FALSE(rs[0].rows[0][3].text.empty());
        rs = results(run("SELECT cmptlevel FROM sysdatabases WHERE name = 'master'"));
        EXPECT_EQ(rs[0].rows[0][0].i, row.cmptlevel);
        // SQL Server 2000 pads sysfiles.name; the 2005 view gives sysname.
        rs = results(run("SELECT name FROM sysfiles WHERE fileid = 1"));
        EXPECT_EQ(rs[0].columns[0].type, row.sysfilesName);
        EXPECT_EQ(rs[0].rows[0][0].text, "master");
        // Every file of every database in the catalog view, from 2005 on; 2000 has none.
        const Reply files = run("SELECT DB_NAME(database_id), physical_name FROM sys.master_files");
        if (std::string(row.version) == "8.0") {
            EXPECT_EQ(messages(files).at(0).number, 208);
        } else {
            rs = results(files);
            ASSERT_EQ(rs.size(), 1u);
            EXPECT_EQ(rs[0].rows.at(0).at(0).text, "master");
            EXPECT_NE(rs[0].rows.at(0).at(1).text.find("master"), std::string::npos);
        }
    }
}

TEST_F(Versions, LoginAndUseOfAMissingDatabaseInEachReleasesWords) {
    struct Row {
        const char* version;
        std::string login, use;
    } rows[] = {
        {"8.0", "Cannot open database requested in login 'nosuch'. Login fails.",
         "Could not locate entry in sysdatabases for database 'nosuch'. No entry found with that "
         "name. Make sure that the name is entered correctly."},
        {"16.0", "Cannot open database \"nosuch\" requested by the login. The login failed.",
         "Database 'nosuch' does not exist. Make sure that the name is entered correctly."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        play(row.version);
        Session s;
        LoginOutcome refused = engine_->login("sa", "secret", "nosuch", s);
        EXPECT_EQ(messageNumbers(refused.refusal), (std::vector<int>{4060, 18456}));
        EXPECT_EQ(messages(refused.refusal)[0].text, row.login);
        Reply use = run("USE nosuch");
        EXPECT_EQ(messageNumbers(use), (std::vector<int>{911}));
        EXPECT_EQ(messages(use)[0].text, row.use);
    }
}

TEST_F(Versions, EachReleaseRefusesAFileWithItsOwnNumbersAndTexts) {
    struct Row {
        const char* version;
        std::vector<int> missingPrimary, missingLog, otherLog, nameTaken, noSuchDetach,
            systemDetach, checkMissing;
        std::string takenText;
    } rows[] = {
        {"8.0",
         {5105, 1813},
         {5105, 1813},
         {5173, 1813},
         {1801},
         {15010},
         {7940},
         {5105},
         "Database 'master' already exists."},
        {"9.0",
         {5120, 1802},
         {5120, 1802},
         {5173, 1813},
         {1801},
         {15010},
         {7940},
         {5120},
         "Database 'master' already exists. Choose a different database name."},
        {"15.0",
         {5120, 1802},
         {5120, 1802},
         {5173, 1813},
         {1801},
         {15010},
         {7940},
         {5120},
         "Database 'master' already exists. Choose a different database name."},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        play(row.version);
        const std::string shop = "shop" + std::to_string(++n), other = "other" + shop;
        create(other);
        create(shop);
        run("sp_detach_db " + other);
        run("sp_detach_db " + shop);
        const std::string mdf = files(shop + ".mdf"), ldf = files(shop + "_log.ldf");
        EXPECT_EQ(messageNumbers(run("sp_attach_db x, '" + files("none.mdf") + "', '" + ldf + "'")),
                  row.missingPrimary);
        EXPECT_EQ(messageNumbers(run("sp_attach_db x, '" + mdf + "', '" + files("no.ldf") + "'")),
                  row.missingLog);
        EXPECT_EQ(messageNumbers(
                      run("sp_attach_db x, '" + mdf + "', '" + files(other + "_log.ldf") + "'")),
                  row.otherLog);
        Reply taken = run("sp_attach_db master, '" + mdf + "', '" + ldf + "'");
        EXPECT_EQ(messageNumbers(taken), row.nameTaken);
        EXPECT_EQ(messages(taken)[0].text, row.takenText);
        EXPECT_EQ(messageNumbers(run("sp_detach_db nosuch")), row.noSuchDetach);
        EXPECT_EQ(messageNumbers(run("sp_detach_db model")), row.systemDetach);
        EXPECT_EQ(messageNumbers(run("DBCC CHECKPRIMARYFILE ('" + files("gone.mdf") + "', 2)")),
                  row.checkMissing);
        EXPECT_EQ(messageNumbers(attach(shop, shop)), std::vector<int>{});
    }
    // The modern text names the file and the operating system's reason.
    Reply missing = run("DBCC CHECKPRIMARYFILE ('" + files("gone.mdf") + "', 2)");
    EXPECT_EQ(messages(missing)[0].text,
              "Unable to open the physical file \"" + files("gone.mdf") +
                  "\". Operating system error 2: \"2(The system cannot find the file "
                  "specified.)\".");
    EXPECT_EQ(messages(missing)[0].state, 101);
}

TEST_F(Versions, FilesRecordTheirReleaseAndAttachUpgradesOrRefusesThem) {
    create("old");  // by SQL Server 2000
    run("sp_detach_db old");
    EXPECT_EQ(recordedVersion(files("old.mdf")), 539);

    play("15.0");
    Reply refused = attach("old", "old");
    EXPECT_EQ(messageNumbers(refused), (std::vector<int>{1813, 950}));
    EXPECT_EQ(messages(refused)[1].severity, 20);
    EXPECT_EQ(messages(refused)[1].text,
              "Database 'old' cannot be upgraded because its non-release version (539) is not "
              "supported by this version of SQL Server. You cannot open a database that is "
              "incompatible with this version of sqlservr.exe. You must re-create the "
              "database.");
    EXPECT_EQ(recordedVersion(files("old.mdf")), 539);  // untouched

    struct Step {
        const char* version;
        std::vector<int> numbers;  // of attaching the file as the previous step left it
        int64_t recorded;          // after a detach
    } steps[] = {
        {"9.0", {944, 951}, 611},    // 2005 converts the 2000 file
        {"15.0", {1813, 950}, 611},  // 2019 does not take a 2005 file either
        {"10.50", {944, 951}, 665},  // 2008 R2 converts it
        {"9.0", {1813, 948}, 665},   // 2005 cannot go back
        {"15.0", {944, 951}, 904},  {"16.0", {944, 951}, 957},
        {"15.0", {1813, 948}, 957}, {"8.0", {602}, 957},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.version);
        play(s.version);
        Reply r = attach("old", "old");
        EXPECT_EQ(messageNumbers(r), s.numbers);
        if (!hasError(r)) run("sp_detach_db old");
        EXPECT_EQ(recordedVersion(files("old.mdf")), s.recorded);
    }
    play("16.0");
    Reply up = attach("old", "old");
    EXPECT_EQ(messages(up).size(), 0u);  // the same release: nothing to convert
    play("10.50");
    create("fresh");
    run("sp_detach_db fresh");
    EXPECT_EQ(recordedVersion(files("fresh.mdf")), 665);
}

TEST_F(Versions, ARebuiltLogGoesWhereEachReleasePutsIt) {
    struct Row {
        const char* version;
        std::vector<int> numbers;
        bool besidePrimary;
    } rows[] = {
        {"8.0", {5105, 5182}, true},
        {"9.0", {5111, 5182}, false},
        // The log 9.0 made is still in the default folder: the new one cannot replace it.
        {"16.0", {5170, 1813, 5111}, false},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        play(row.version);
        const std::string db = "r" + std::to_string(++n);
        create(db);
        run("sp_detach_db " + db);
        fs::remove(files(db + "_log.ldf"));
        fs::rename(files(db + ".mdf"), files("Copy.MDF"));
        Reply r = run("sp_attach_single_file_db " + db + ", '" + files("Copy.MDF") + "'");
        EXPECT_EQ(messageNumbers(r), row.numbers);
        const std::string expected = row.besidePrimary
                                         ? files(db + "_log.LDF")
                                         : (dir_.path() / "data" / "Copy_log.LDF").string();
        EXPECT_TRUE(fs::exists(expected)) << expected;
        if (!hasError(r)) {
            EXPECT_EQ(messages(r)[1].text, "New log file '" + expected + "' was created.");
            run("sp_detach_db " + db);
        }
        fs::remove(files("Copy.MDF"));
    }
    // A copy taken while the database was attached was not shut down cleanly: from 2005 on
    // the log cannot be rebuilt, said in two notes before 1813.
    create("busy");
    fs::copy_file(files("busy.mdf"), files("Busy copy.mdf"));
    EXPECT_EQ(messageNumbers(run("sp_attach_single_file_db x, '" + files("Busy copy.mdf") + "'")),
              (std::vector<int>{5111, 5113, 1813}));
}

TEST_F(Versions, AnUnreadableFolderGivesAccessDenied) {
    create("shop");
    run("sp_detach_db shop");
    const std::string prefix = (dir_.path() / "files").string() + "/";
    struct Row {
        const char* version;
        std::vector<int> check, attach, create;
        std::string checkText;
    } rows[] = {
        {"8.0",
         {5105},
         {5105, 1813},
         {5123, 1802},
         "Device activation error. The physical file name '" + files("shop.mdf") +
             "' may be incorrect."},
        {"9.0",
         {5120},
         {5120, 1802},
         {5123, 1802},
         "Unable to open the physical file \"" + files("shop.mdf") +
             "\". Operating system error 5: \"5(Access is denied.)\"."},
        {"15.0",
         {5120},
         {5120, 1802},
         {5123, 1802},
         "Unable to open the physical file \"" + files("shop.mdf") +
             "\". Operating system error 5: \"5(Access is denied.)\"."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        options_.unreadablePrefixes = {prefix};
        play(row.version);
        Reply check = run("DBCC CHECKPRIMARYFILE ('" + files("shop.mdf") + "', 0)");
        EXPECT_EQ(messageNumbers(check), row.check);
        EXPECT_EQ(messages(check)[0].text, row.checkText);
        EXPECT_EQ(messageNumbers(run("sp_attach_single_file_db shop, '" + files("shop.mdf") + "'")),
                  row.attach);
        Reply made = run("CREATE DATABASE n ON (NAME = n, FILENAME = '" + files("n.mdf") + "')");
        EXPECT_EQ(messageNumbers(made), row.create);
        EXPECT_NE(messages(made)[0].text.find("5(Access is denied.)"), std::string::npos);
        // Outside the prefix the same file reads.
        options_.unreadablePrefixes = {prefix + "elsewhere/"};
        restart();
        EXPECT_FALSE(hasError(run("DBCC CHECKPRIMARYFILE ('" + files("shop.mdf") + "', 0)")));
    }
}

TEST_F(Versions, TruncateOnlyIsGoneFrom2008AndRefusesTheWholeBatch) {
    struct Row {
        const char* version;
        bool refused;
    } rows[] = {{"8.0", false}, {"9.0", false}, {"10.50", true}, {"15.0", true}, {"16.0", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        play(row.version);
        for (const char* option : {"TRUNCATE_ONLY", "no_log"}) {
            Reply r = run(std::string("SELECT 1\nBACKUP LOG model WITH ") + option +
                          " USE model SELECT 2");
            if (!row.refused) {
                EXPECT_FALSE(hasError(r));
                EXPECT_EQ(results(r).size(), 2u);
                continue;
            }
            // Nothing of the batch ran: no rows, no change of database.
            EXPECT_TRUE(results(r).empty());
            ASSERT_EQ(messages(r).size(), 1u);
            const Message m = messages(r)[0];
            EXPECT_EQ(m.number, 155);
            EXPECT_EQ(m.severity, 15);
            EXPECT_EQ(m.line, 2);
            EXPECT_EQ(m.text, std::string("'") + option + "' is not a recognized BACKUP option.");
            EXPECT_EQ(session_.database, "master");
            EXPECT_EQ(dones(r).back().status, DoneError);
        }
    }
}

TEST_F(Versions, TheRecoveryModelTravelsWithThePrimaryFile) {
    struct Row {
        const char* version;
        std::vector<int> tempdb, unknown;
    } rows[] = {{"8.0", {5058}, {911}}, {"15.0", {5058, 5069}, {5011, 5069}}};
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        play(row.version);
        const std::string db = "rm" + std::to_string(++n);
        auto model = [&] {
            auto rs = results(run("SELECT DATABASEPROPERTYEX('" + db +
                                  "', 'Recovery'), status "
                                  "FROM master..sysdatabases WHERE name = '" +
                                  db + "'"));
            return rs[0].rows.at(0).at(0).text + " " + std::to_string(rs[0].rows[0][1].i);
        };
        create(db);
        EXPECT_EQ(model(), "FULL 16");
        EXPECT_TRUE(messages(run("ALTER DATABASE [" + db + "] SET RECOVERY SIMPLE")).empty());
        EXPECT_EQ(model(), "SIMPLE 24");  // 8: trunc. log on chkpt.
        restart();
        EXPECT_EQ(model(), "SIMPLE 24");
        run("sp_detach_db " + db);
        EXPECT_FALSE(hasError(attach(db, db)));
        EXPECT_EQ(model(), "SIMPLE 24");
        run("ALTER DATABASE " + db + " SET RECOVERY BULK_LOGGED WITH NO_WAIT");
        EXPECT_EQ(model(), "BULK_LOGGED 20");
        run("ALTER DATABASE " + db + " SET RECOVERY FULL WITH ROLLBACK IMMEDIATE");
        run("sp_detach_db " + db);
        attach(db, db);
        EXPECT_EQ(model(), "FULL 16");

        EXPECT_EQ(messageNumbers(run("ALTER DATABASE tempdb SET RECOVERY FULL")), row.tempdb);
        EXPECT_EQ(messageNumbers(run("ALTER DATABASE nosuch SET RECOVERY FULL")), row.unknown);
        EXPECT_EQ(messageNumbers(run("ALTER DATABASE x SET RECOVERY NONE")),
                  (std::vector<int>{102}));
    }
    // The system databases' own models; a new database takes model's.
    auto rs =
        results(run("SELECT DATABASEPROPERTYEX('master', 'Recovery'), "
                    "DATABASEPROPERTYEX('msdb', 'Recovery'), "
                    "DATABASEPROPERTYEX('model', 'Recovery'), "
                    "DATABASEPROPERTYEX('nosuch', 'Recovery'), "
                    "DATABASEPROPERTYEX('model', 'nosuch')"));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"SIMPLE"}));
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{"SIMPLE"}));
    EXPECT_EQ(column(rs[0], 2), (std::vector<std::string>{"FULL"}));
    EXPECT_EQ(rs[0].rows[0][3].kind, Value::Kind::Null);
    EXPECT_EQ(rs[0].rows[0][4].kind, Value::Kind::Null);
    run("ALTER DATABASE model SET RECOVERY SIMPLE");
    create("born");
    rs = results(run("SELECT DATABASEPROPERTYEX('born', 'Recovery')"));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"SIMPLE"}));
}

TEST_F(Versions, DatabasesThatCannotBeEnteredSayWhyInEachRelease) {
    struct Row {
        const char* version;
        std::vector<int> detachGone, alterBusy;
        const char* goneStatus;
    } rows[] = {
        {"8.0", {}, {5070}, "SUSPECT"},
        {"9.0", {3707}, {5070, 5069}, "RECOVERY_PENDING"},
        {"10.50", {3707}, {5070, 5069}, "RECOVERY_PENDING"},
        {"15.0", {3707}, {5070, 5069}, "RECOVERY_PENDING"},
        {"16.0", {3707}, {5070, 5069}, "RECOVERY_PENDING"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        const std::string k = std::to_string(++n), gone = "gone" + k, off = "off" + k,
                          rest = "rest" + k, one = "one" + k;
        play(row.version);
        for (const std::string& db : {gone, off, rest, one}) create(db);
        // Files gone while the server was stopped; a database left restoring.
        options_.startStates = {{rest, DatabaseState::Restoring}};
        engine_.reset();
        fs::remove(files(gone + ".mdf"));
        open();
        run("ALTER DATABASE " + off + " SET OFFLINE ALTER DATABASE " + one + " SET SINGLE_USER");
        Session inside;
        ASSERT_TRUE(engine_->login("sa", "secret", one, inside).accepted);
        auto refused = [&](const std::string& db) {
            Session s;
            const LoginOutcome o = engine_->login("sa", "secret", db, s);
            if (o.accepted) engine_->logout(s);
            return messageNumbers(o.refusal);
        };
        EXPECT_EQ(refused(gone), (std::vector<int>{945, 4060, 18456}));
        EXPECT_EQ(refused(off), (std::vector<int>{942, 4060, 18456}));
        EXPECT_EQ(refused(rest), (std::vector<int>{927, 4060, 18456}));
        EXPECT_EQ(refused(one), (std::vector<int>{924, 4060, 18456}));
        EXPECT_EQ(messageNumbers(run("USE " + off)), (std::vector<int>{942}));
        EXPECT_EQ(messageNumbers(run("ALTER DATABASE " + one + " SET OFFLINE")), row.alterBusy);
        auto rs = results(run("SELECT DATABASEPROPERTYEX('" + gone + "', 'Status'), " +
                              "DATABASEPROPERTYEX('" + off + "', 'Status'), " +
                              "DATABASEPROPERTYEX('" + rest + "', 'Status'), " +
                              "DATABASEPROPERTYEX('" + one + "', 'UserAccess')"));
        EXPECT_EQ(rs[0].rows[0][0].text, row.goneStatus);
        EXPECT_EQ(rs[0].rows[0][1].text, "OFFLINE");
        EXPECT_EQ(rs[0].rows[0][2].text, "RESTORING");
        EXPECT_EQ(rs[0].rows[0][3].text, "SINGLE_USER");
        // 256 not recovered, 512 offline, 32 restoring, 4096 single user, beside 16 torn page.
        rs = results(run("SELECT status FROM sysdatabases WHERE name IN ('" + gone + "', '" + off +
                         "', '" + rest + "', '" + one + "') ORDER BY dbid"));
        EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"272", "528", "48", "4112"}));
        EXPECT_EQ(messageNumbers(run("sp_detach_db " + gone)), row.detachGone);
        engine_->logout(inside);
        EXPECT_TRUE(messages(run("ALTER DATABASE " + off + " SET ONLINE")).empty());
        EXPECT_TRUE(refused(off).empty());
    }
    EXPECT_EQ(messages(run("ALTER DATABASE off5 SET OFFLINE USE off5"))[0].text,
              "Database 'off5' cannot be opened because it is offline.");
}

TEST_F(Versions, ACheckpointUnderSimpleFreesTheLogForTheShrink) {
    play("15.0");
    create("big");
    const auto before = fs::file_size(files("big_log.ldf"));
    run("USE big");
    // Under FULL the checkpoint keeps the log; the shrink stops at its used pages.
    run("CHECKPOINT DBCC SHRINKFILE (big_log)");
    const auto underFull = fs::file_size(files("big_log.ldf"));
    EXPECT_LT(underFull, before);
    Reply r = run("ALTER DATABASE big SET RECOVERY SIMPLE CHECKPOINT DBCC SHRINKFILE (big_log)");
    EXPECT_FALSE(hasError(r));
    EXPECT_LT(fs::file_size(files("big_log.ldf")), underFull);
    auto rs = results(r);
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].columns.size(), 6u);
    EXPECT_EQ(messageNumbers(r), (std::vector<int>{2528}));
}

TEST_F(Versions, HeldLogsReraisedShrinkErrorsAndDatabasesOfFourFiles) {
    struct Row {
        const char* version;
        bool since2005, hasThrow;
    } rows[] = {{"8.0", false, false},
                {"9.0", true, false},
                {"10.50", true, false},
                {"15.0", true, true},
                {"16.0", true, true}};
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        const std::string db = "m" + std::to_string(++n), in = "v" + std::to_string(n) + "_";
        options_.heldLogs = {db};
        options_.unmovableShrinks = {"p%d_log"};
        play(row.version);
        Reply made = run("CREATE DATABASE " + db + " ON (NAME = " + db + ", FILENAME = '" +
                         files(in + "a.mdf") + "'), (NAME = " + db + "_2, FILENAME = '" +
                         files(in + "b.ndf") + "') LOG ON (NAME = " + db + "_log, FILENAME = '" +
                         files(in + "c.ldf") + "'), (NAME = [p%d_log], FILENAME = '" +
                         files(in + "d.ldf") + "')");
        ASSERT_FALSE(hasError(made)) << messages(made)[0].text;
        // The held log keeps its size, whatever empties it; the server says why.
        const auto before = fs::file_size(files(in + "c.ldf"));
        run("USE " + db);
        Reply held = run("ALTER DATABASE " + db + " SET RECOVERY SIMPLE CHECKPOINT " +
                         "DBCC SHRINKFILE (" + db + "_log)");
        EXPECT_EQ(messageNumbers(held), (std::vector<int>{9008, 2528}));
        EXPECT_EQ(messages(held)[0].text,
                  "Cannot shrink log file 2 (" + db + "_log) because " +
                      (row.since2005 ? "the logical log file located at the end of the file is"
                                     : "all logical log files are") +
                      " in use.");
        EXPECT_EQ(fs::file_size(files(in + "c.ldf")), before);
        EXPECT_EQ(results(held).at(0).rows.at(0).at(2).i * 8192, int64_t(before));

        // THROW raises the caught error again, "%" and all, after a ";"; before 2012 the
        // batch does not compile.
        const std::string caught = "BEGIN TRY DBCC SHRINKFILE ([p%d_log]) END TRY BEGIN CATCH ";
        Reply reraised = run(caught + "PRINT 'model back'; THROW; END CATCH");
        EXPECT_EQ(messageNumbers(reraised),
                  (row.hasThrow ? std::vector<int>{0, 3140} : std::vector<int>{102}));
        if (row.hasThrow) {
            EXPECT_EQ(messages(reraised).back().text,
                      "Could not adjust the space allocation for file 'p%d_log'.");
        }
        EXPECT_EQ(messageNumbers(run(caught + "PRINT 'model back' THROW; END CATCH")),
                  (std::vector<int>{102}));
        run("USE master");

        run("sp_detach_db " + db);
        // Option 3 lists the files by file id: the primary, the first log, then the others.
        auto rs = results(run("DBCC CHECKPRIMARYFILE ('" + files(in + "a.mdf") + "', 3)"));
        ASSERT_EQ(rs.size(), 1u);
        EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{"1", "2", "3", "4"}));
        EXPECT_EQ(column(rs[0], 2),
                  (std::vector<std::string>{db, db + "_log", db + "_2", "p%d_log"}));
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(rs[0].rows[i][0].i & 0x40, i % 2 ? 0x40 : 0);
        // Moved whole, it attaches with every file named; a file left unnamed is looked for
        // where the primary last saw it.
        for (const char* f : {"a.mdf", "b.ndf", "c.ldf", "d.ldf"})
            fs::rename(files(in + f), files(in + "moved_" + f));
        EXPECT_EQ(messageNumbers(run("sp_attach_db " + db + ", '" + files(in + "moved_a.mdf") +
                                     "', '" + files(in + "moved_c.ldf") + "'")),
                  (row.since2005 ? std::vector<int>{5120, 1802} : std::vector<int>{5105, 1813}));
        EXPECT_FALSE(
            hasError(run("sp_attach_db " + db + ", '" + files(in + "moved_a.mdf") + "', '" +
                         files(in + "moved_c.ldf") + "', '" + files(in + "moved_d.ldf") + "', '" +
                         files(in + "moved_b.ndf") + "'")));
    }
}

}  // namespace
}  // namespace standin::test
