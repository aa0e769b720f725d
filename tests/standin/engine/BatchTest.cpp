// Procedural batches: variables, IF, blocks, TRY ... CATCH, dynamic SQL, RAISERROR and THROW,
// and the shrink batch a 2008-or-later client sends.

#include <filesystem>

#include "EngineTestSupport.h"

namespace standin::test {
namespace {

namespace fs = std::filesystem;

class Batch : public EngineFixture {
protected:
    void play(const char* version, std::vector<std::string> failingShrinks = {}) {
        options_.version = *ServerVersion::parse(version);
        options_.failingShrinks = std::move(failingShrinks);
        restart();
    }
    std::string file(const std::string& name) { return dir_.file(name); }
    void create(const std::string& db) {
        Reply r = run("CREATE DATABASE " + db + " ON (NAME = " + db + ", FILENAME = '" +
                      file(db + ".mdf") + "') LOG ON (NAME = " + db + "_log, FILENAME = '" +
                      file(db + "_log.ldf") + "')");
        ASSERT_FALSE(hasError(r)) << messages(r)[0].text;
    }
    std::string recovery(const std::string& db) {
        auto rs = results(run("SELECT DATABASEPROPERTYEX('" + db + "', 'Recovery')"));
        return rs.at(0).rows.at(0).at(0).text;
    }
    // The values of the one row a batch selects, as text ("NULL" for NULL).
    std::vector<std::string> row(const std::string& sql) {
        Reply r = run(sql);
        auto rs = results(r);
        EXPECT_EQ(rs.size(), 1u) << sql << (messages(r).empty() ? "" : ": " + messages(r)[0].text);
        if (rs.empty() || rs[0].rows.empty()) return {};
        std::vector<std::string> out;
        for (const Value& v : rs[0].rows[0]) {
            out.push_back(v.kind == Value::Kind::Null  ? "NULL"
                          : v.kind == Value::Kind::Int ? std::to_string(v.i)
                                                       : v.text);
        }
        return out;
    }
};

// Remember the model, switch to SIMPLE, CHECKPOINT, shrink, and switch back also when the
// shrink fails; the caught error is raised again with THROW (2012 on) or RAISERROR.
std::string shrinkBatch(const std::string& db, bool withThrow) {
    const std::string back = "EXEC(N'ALTER DATABASE [" + db + "] SET RECOVERY ' + @m)";
    return "DECLARE @m sysname\n"
           "SET @m = CONVERT(sysname, DATABASEPROPERTYEX(N'" +
           db +
           "', 'Recovery'))\n"
           "IF @m <> 'SIMPLE' ALTER DATABASE [" +
           db +
           "] SET RECOVERY SIMPLE\n"
           "CHECKPOINT\n"
           "BEGIN TRY\n"
           "    DBCC SHRINKFILE ([" +
           db +
           "_log])\n"
           "END TRY\n"
           "BEGIN CATCH\n"
           "    IF @m <> 'SIMPLE' " +
           back + ";\n" +
           (withThrow
                ? "    THROW\n"
                : "    DECLARE @e nvarchar(2048), @s int, @t int\n"
                  "    SELECT @e = ERROR_MESSAGE(), @s = ERROR_SEVERITY(), @t = ERROR_STATE()\n"
                  "    RAISERROR(@e, @s, @t)\n"
                  "    RETURN\n") +
           "END CATCH\n"
           "IF @m <> 'SIMPLE' " +
           back + "\n";
}

TEST_F(Batch, TheShrinkBatchRestoresTheModelWhetherTheShrinkWorksOrFails) {
    struct Row {
        const char* version;
        bool withThrow;
        bool shrinkFails;
        std::vector<int> numbers;
    } rows[] = {
        {"15.0", true, false, {2528}}, {"15.0", true, true, {3023}},
        {"16.0", true, true, {3023}},  {"10.50", false, true, {50000}},
        {"9.0", false, false, {2528}}, {"10.50", false, false, {2528}},
    };
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.version) + (r.shrinkFails ? " failing" : ""));
        const std::string db = "shop" + std::to_string(++n);
        play(r.version,
             r.shrinkFails ? std::vector<std::string>{db + "_log"} : std::vector<std::string>{});
        create(db);
        ASSERT_EQ(recovery(db), "FULL");
        run("USE " + db);
        const auto before = fs::file_size(file(db + "_log.ldf"));
        Reply reply = run(shrinkBatch(db, r.withThrow));
        EXPECT_EQ(messageNumbers(reply), r.numbers);
        EXPECT_EQ(recovery(db), "FULL");
        if (r.shrinkFails) {
            const Message m = messages(reply).back();
            EXPECT_EQ(m.severity, 16);
            EXPECT_NE(m.text.find("must be serialized"), std::string::npos) << m.text;
            EXPECT_TRUE(results(reply).empty());
            EXPECT_EQ(fs::file_size(file(db + "_log.ldf")), before);
        } else {
            ASSERT_EQ(results(reply).size(), 1u);
            EXPECT_EQ(results(reply)[0].columns[0].name, "DbId");
            EXPECT_LT(fs::file_size(file(db + "_log.ldf")), before);
        }
        run("USE master");
    }
    // A database already in SIMPLE stays there.
    play("15.0");
    create("simple");
    run("ALTER DATABASE simple SET RECOVERY SIMPLE");
    run("USE simple");
    EXPECT_FALSE(hasError(run(shrinkBatch("simple", true))));
    EXPECT_EQ(recovery("simple"), "SIMPLE");
}

TEST_F(Batch, VariablesHoldTheirTypesAndExpressionsConvertAsOnTheServer) {
    play("15.0");
    EXPECT_EQ(row("DECLARE @a nvarchar(3), @b nchar(4), @c int, @d sysname = N'it''s]'\n"
                  "SET @a = 'abcdef' SET @b = 'x' SET @c = ' 42 '\n"
                  "SELECT @a, @b + '|', @c + 1, QUOTENAME(@d), QUOTENAME(@d, ''''), @d + NULL"),
              (std::vector<std::string>{"abc", "x   |", "43", "[it's]]]", "'it''s]'", "NULL"}));
    EXPECT_EQ(row("DECLARE @x nvarchar SET @x = 'long' SELECT @x, CAST(12 AS nvarchar) + 'a', "
                  "CONVERT(int, '7') + 1, ISNULL(NULL, 'n')"),
              (std::vector<std::string>{"l", "12a", "8", "n"}));
    // SELECT @v = ... assigns from the last row and sends no rows, only the count.
    Reply assign =
        run("DECLARE @n int, @name sysname\n"
            "SELECT @name = name FROM master..sysdatabases ORDER BY name\n"
            "SELECT @n = COUNT(*) FROM master..sysdatabases\n"
            "SELECT @name, @n");
    auto rs = results(assign);
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"tempdb"}));
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{"4"}));
    EXPECT_EQ(dones(assign)[0].rowCount, 4u);
    EXPECT_EQ(row("EXEC sp_detach_db nosuch SELECT @@ERROR, @@ERROR"),
              (std::vector<std::string>{"15010", "15010"}));

    struct Refusal {
        const char* version;
        const char* sql;
        int number;
        std::string text;
    } refusals[] = {
        {"15.0", "SELECT @nope", 137, "Must declare the scalar variable \"@nope\"."},
        {"8.0", "SELECT @nope", 137, "Must declare the variable '@nope'."},
        {"15.0", "DECLARE @a int DECLARE @A int", 134, ""},
        {"9.0", "DECLARE @a int = 1", 139, "Cannot assign a default value to a local variable."},
        {"15.0", "DECLARE @a int SELECT @a = 1, 2", 141, ""},
        {"15.0", "DECLARE @a money", 2715,
         "Column, parameter, or variable #1: Cannot find data type money."},
        {"15.0", "DECLARE @a nvarchar(0)", 1001, ""},
        {"15.0", "DECLARE @a int SET @a = 'x'", 245,
         "Conversion failed when converting the nvarchar value 'x' to data type int."},
        {"8.0", "DECLARE @a int SET @a = 'x'", 245,
         "Syntax error converting the nvarchar value 'x' to a column of data type int."},
        {"15.0", "DECLARE @a tinyint SET @a = 300", 8115, ""},
        {"15.0", "IF 1 SELECT 1", 4145, ""},
        // Outside SELECT ... FROM there is no column to name.
        {"15.0", "DECLARE @m sysname SET @m = name", 207, "Invalid column name 'name'."},
        {"15.0", "IF name = 'x' PRINT 1", 207, ""},
        {"15.0", "BEGIN END", 156, ""},
        {"15.0", "RETURN 1", 178, ""},
        {"15.0", "DECLARE @s nvarchar(10) EXEC(N'SELECT ' + QUOTENAME(@s))", 102, ""},
    };
    for (const Refusal& f : refusals) {
        SCOPED_TRACE(f.sql);
        play(f.version);
        Reply r = run(f.sql);
        ASSERT_EQ(messageNumbers(r), (std::vector<int>{f.number}));
        if (!f.text.empty()) {
            EXPECT_EQ(messages(r)[0].text, f.text);
        }
    }
}

TEST_F(Batch, TryCatchTakesTheErrorAwayFromTheClientAsTheServerDoes) {
    play("15.0");
    // The caught error is not sent; the CATCH block sees the last error of the statement.
    Reply caught =
        run("BEGIN TRY\n"
            "  EXEC sp_attach_db x, '" +
            file("none.mdf") +
            "'\n"
            "  SELECT 'not reached'\n"
            "END TRY\n"
            "BEGIN CATCH\n"
            "  SELECT ERROR_NUMBER(), ERROR_SEVERITY(), ERROR_STATE()\n"
            "END CATCH\n"
            "SELECT ERROR_NUMBER()");
    EXPECT_TRUE(messages(caught).empty());
    auto rs = results(caught);
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_EQ(rs[0].rows[0][0].i, 1802);
    EXPECT_EQ(rs[0].rows[0][1].i, 16);
    EXPECT_EQ(rs[0].rows[0][2].i, 7);
    EXPECT_EQ(rs[1].rows[0][0].kind, Value::Kind::Null);  // outside CATCH
    for (const Done& d : dones(caught)) EXPECT_EQ(d.status & DoneError, 0);

    struct Case {
        const char* sql;
        std::vector<int> numbers;
        size_t resultSets;
    } cases[] = {
        // RAISERROR in CATCH goes to the client as 50000 and the batch goes on.
        {"BEGIN TRY SELECT CONVERT(int, 'x') END TRY BEGIN CATCH "
         "DECLARE @m nvarchar(400) SET @m = ERROR_MESSAGE() RAISERROR(@m, 16, 1) END CATCH "
         "SELECT 1",
         {50000},
         1},
        // Severity 10 is a message, not an error: nothing to catch.
        {"BEGIN TRY RAISERROR('note', 10, 1) SELECT 1 END TRY BEGIN CATCH SELECT 2 END CATCH",
         {50000},
         1},
        // An error in the CATCH block goes to the enclosing one.
        {"BEGIN TRY BEGIN TRY RAISERROR('a', 16, 1) END TRY BEGIN CATCH THROW 50001, 'b', 2 "
         "END CATCH END TRY BEGIN CATCH SELECT ERROR_NUMBER(), ERROR_MESSAGE() END CATCH",
         {},
         1},
        // THROW outside TRY ends the batch; RAISERROR does not.
        {"THROW 50002, N'stop', 3; SELECT 1", {50002}, 0},
        {"RAISERROR('go on', 16, 1) SELECT 1", {50000}, 1},
        // A name the statement cannot resolve is not caught at its own level.
        {"BEGIN TRY SELECT x FROM nosuch END TRY BEGIN CATCH SELECT 1 END CATCH SELECT 2",
         {208},
         0},
        {"THROW 1, 'low', 1", {35100}, 0},
        {"RAISERROR('x', 19, 1)", {2754}, 0},
        {"RAISERROR(50001, 16, 1)", {18054}, 0},
        {"BEGIN TRY SELECT 1 END TRY SELECT 2 BEGIN CATCH SELECT 3 END CATCH", {156}, 0},
        {"THROW", {10704}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        Reply r = run(c.sql);
        EXPECT_EQ(messageNumbers(r), c.numbers);
        EXPECT_EQ(results(r).size(), c.resultSets);
    }
    EXPECT_EQ(row("BEGIN TRY BEGIN TRY RAISERROR('a', 16, 1) END TRY BEGIN CATCH\n"
                  "THROW 50001, 'b', 2 END CATCH END TRY BEGIN CATCH "
                  "SELECT ERROR_NUMBER(), ERROR_MESSAGE(), ERROR_STATE(), ERROR_LINE(), "
                  "ERROR_SEVERITY(), ERROR_PROCEDURE() END CATCH"),
              (std::vector<std::string>{"50001", "b", "2", "2", "16", "NULL"}));
    Reply formatted = run("RAISERROR(N'%s has %d files, %i%% done %x', 11, 4, N'shop', 2, 50)");
    EXPECT_EQ(messages(formatted)[0].text, "shop has 2 files, 50% done (null)");
    EXPECT_EQ(messages(formatted)[0].state, 4);
    // Without TRY in the release, the words are syntax errors and the functions unknown.
    for (const char* version : {"8.0"}) {
        play(version);
        EXPECT_EQ(messageNumbers(run("BEGIN TRY SELECT 1 END TRY BEGIN CATCH SELECT 2 END CATCH")),
                  (std::vector<int>{102}));
        EXPECT_EQ(messageNumbers(run("SELECT ERROR_MESSAGE()")), (std::vector<int>{195}));
    }
    play("10.50");
    EXPECT_EQ(messageNumbers(run("SELECT 1\nTHROW 50000, 'x', 1")), (std::vector<int>{102}));
}

TEST_F(Batch, DynamicSqlIsABatchOfItsOwn) {
    play("15.0");
    Reply r =
        run("DECLARE @sql nvarchar(max), @db sysname\n"
            "SET @db = N'model'\n"
            "SET @sql = N'SELECT DATABASEPROPERTYEX(' + QUOTENAME(@db, '''') + N', ''Recovery'')'\n"
            "EXEC (@sql)\n"
            "EXECUTE sp_executesql @sql\n"
            "EXEC sp_executesql N'SELECT 2'");
    EXPECT_FALSE(hasError(r));
    auto rs = results(r);
    ASSERT_EQ(rs.size(), 3u);
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"FULL"}));
    // sp_executesql answers as a procedure: DONEINPROC, its return status, DONEPROC.
    int procs = 0;
    for (const Token& t : r) {
        if (auto* d = std::get_if<Done>(&t); d && d->kind == Done::Kind::DoneProc) ++procs;
    }
    EXPECT_EQ(procs, 2);

    struct Case {
        const char* sql;
        std::vector<int> numbers;
        size_t resultSets;
    } cases[] = {
        // The outer batch's variables are not the dynamic batch's.
        {"DECLARE @x int EXEC(N'SELECT @x') SELECT 1", {137}, 1},
        // A compile error in the dynamic batch is the EXEC's error, and a CATCH takes it.
        {"BEGIN TRY EXEC('SELEC 1') END TRY BEGIN CATCH SELECT ERROR_NUMBER() END CATCH", {}, 1},
        {"DECLARE @v varchar(20) SET @v = 'SELECT 1' EXEC sp_executesql @v", {214}, 0},
        {"EXEC sp_executesql N'SELECT 1', N'@p int', 1", {8144}, 0},
        {"EXEC(N'RETURN') SELECT 1", {}, 1},
        {"EXEC(NULL) SELECT 1", {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        Reply reply = run(c.sql);
        EXPECT_EQ(messageNumbers(reply), c.numbers);
        EXPECT_EQ(results(reply).size(), c.resultSets);
    }
}

}  // namespace
}  // namespace standin::test
