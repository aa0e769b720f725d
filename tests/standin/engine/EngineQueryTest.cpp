// Login, the system-table queries the client sends, session options and batch sequencing.

#include "EngineTestSupport.h"

namespace standin::test {
namespace {

using EngineQuery = EngineFixture;

TEST_F(EngineQuery, LoginOutcomes) {
    Session s;
    LoginOutcome bad = engine_->login("sa", "wrong", "", s);
    EXPECT_FALSE(bad.accepted);
    ASSERT_EQ(messages(bad.refusal).size(), 1u);
    Message m = messages(bad.refusal)[0];
    EXPECT_EQ(m.number, 18456);
    EXPECT_EQ(m.severity, 14);
    EXPECT_EQ(m.state, 1);
    EXPECT_EQ(m.text, "Login failed for user 'sa'.");
    EXPECT_EQ(dones(bad.refusal).back().status & DoneError, DoneError);

    LoginOutcome other = engine_->login("bob", "secret", "", s);
    EXPECT_FALSE(other.accepted);
    EXPECT_EQ(messages(other.refusal)[0].text, "Login failed for user 'bob'.");

    LoginOutcome noDb = engine_->login("sa", "secret", "nosuch", s);
    EXPECT_FALSE(noDb.accepted);
    EXPECT_EQ(messageNumbers(noDb.refusal), (std::vector<int>{4060, 18456}));
    EXPECT_EQ(messages(noDb.refusal)[0].text,
              "Cannot open database requested in login 'nosuch'. Login fails.");

    Session a, b;
    ASSERT_TRUE(engine_->login("SA", "secret", "MSDB", a).accepted);
    EXPECT_EQ(a.database, "msdb");
    ASSERT_TRUE(engine_->login("sa", "secret", "", b).accepted);
    EXPECT_NE(a.spid, 0);
    EXPECT_NE(a.spid, b.spid);
    EXPECT_NE(a.spid, session_.spid);
}

TEST_F(EngineQuery, SysdatabasesAnswersTheClientsQueries) {
    EXPECT_EQ(databaseNames(), (std::vector<std::string>{"master", "model", "msdb", "tempdb"}));

    Reply probe = run("SELECT * FROM sysdatabases WHERE (name >= N'u')");
    auto rs = results(probe);
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].columns.size(), 12u);
    EXPECT_EQ(rs[0].columns[0].name, "name");
    EXPECT_EQ(rs[0].columns[1].type, ColType::SmallInt);
    EXPECT_EQ(rs[0].columns[11].name, "version");
    EXPECT_TRUE(rs[0].rows.empty());
    EXPECT_EQ(dones(probe).back().status, DoneCount);

    // Comparisons ignore case; qualified names and column lists work.
    Reply q =
        run("SELECT dbid, name FROM master.dbo.sysdatabases WHERE name >= 'MS' ORDER BY dbid DESC");
    rs = results(q);
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(column(rs[0], 1), (std::vector<std::string>{"msdb", "tempdb"}));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"4", "2"}));
    EXPECT_EQ(dones(q).back().rowCount, 2u);

    rs = results(
        run("SELECT COUNT(*) FROM master..sysdatabases WHERE dbid <> 2 AND name LIKE 'm%'"));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"3"}));

    rs = results(
        run("SELECT TOP 2 name FROM sysdatabases WHERE name NOT IN ('master', N'MODEL', NULL) "
            "OR dbid IN (1) ORDER BY 1"));
    // NOT IN over a list holding NULL is never true; the OR keeps master.
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"master"}));
    rs =
        results(run("SELECT TOP 2 name FROM sysdatabases WHERE name NOT IN ('master', N'MODEL') "
                    "ORDER BY name"));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"msdb", "tempdb"}));
    rs =
        results(run("SELECT name AS n FROM sysdatabases WHERE NOT (dbid > 1 AND name <> NULL) "
                    "ORDER BY n DESC"));
    // dbid > 1 AND UNKNOWN is UNKNOWN for the three, FALSE for master: only master is NOT-true.
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"master"}));

    // Names the server does not know end the batch.
    Reply missing = run("SELECT 1 SELECT * FROM nosuch SELECT 2");
    EXPECT_EQ(results(missing).size(), 1u);
    EXPECT_EQ(messageNumbers(missing), (std::vector<int>{208}));
    EXPECT_EQ(messages(missing)[0].text, "Invalid object name 'nosuch'.");
    struct Case {
        const char* sql;
        int number;
    } refusals[] = {
        {"SELECT nocolumn FROM sysdatabases", 207},
        {"SELECT name FROM sysdatabases ORDER BY nosuch", 207},
        {"SELECT name FROM sysdatabases WHERE nosuch = 1", 207},
        {"SELECT name FROM sysdatabases ORDER BY 2", 108},
        {"SELECT *", 263},
        {"SELECT name FROM sysdatabases WHERE dbid = 'one'", 245},
        {"SELECT name, COUNT(*) FROM sysdatabases", 8118},
        {"SELECT name FROM other.dbo.sysdatabases", 208},
        {"SELECT name FROM master.guest.sysdatabases", 208},
    };
    for (const Case& c : refusals) {
        Reply r = run(c.sql);
        EXPECT_EQ(messageNumbers(r), (std::vector<int>{c.number})) << c.sql;
        EXPECT_TRUE(results(r).empty()) << c.sql;
    }
    // A text compared with a number converts when it can.
    rs = results(run("SELECT name FROM sysdatabases WHERE dbid = ' 4 '"));
    EXPECT_EQ(column(rs[0], 0), (std::vector<std::string>{"msdb"}));
}

TEST_F(EngineQuery, ServerVariablesAndFunctions) {
    Reply r = run("SELECT @@VERSION SELECT @@SPID, DB_NAME()");
    auto rs = results(r);
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_EQ(rs[0].rows[0][0].text,
              "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\tMay  3 2005 23:18:38 \n\t"
              "Copyright (c) 1988-2003 Microsoft Corporation\n\tStandard Edition on Windows NT "
              "5.0 (Build 2195: Service Pack 4)\n");
    EXPECT_EQ(rs[1].columns[0].type, ColType::SmallInt);
    EXPECT_EQ(rs[1].rows[0][0].i, session_.spid);
    EXPECT_EQ(rs[1].rows[0][1].text, "master");
    ASSERT_EQ(dones(r).size(), 2u);
    EXPECT_EQ(dones(r)[0].status, DoneMore | DoneCount);
    EXPECT_EQ(dones(r)[1].status, DoneCount);
}

TEST_F(EngineQuery, SetOptionsUseAndNocount) {
    Reply sets =
        run("set textsize 2147483647 set quoted_identifier on set ansi_nulls on "
            "set language us_english set dateformat mdy set datefirst 7 "
            "set transaction isolation level read committed");
    EXPECT_FALSE(hasError(sets));
    EXPECT_EQ(dones(sets).size(), 7u);
    EXPECT_TRUE(results(sets).empty());

    Reply use = run("USE MSDB");
    ASSERT_EQ(use.size(), 3u);
    auto* change = std::get_if<DatabaseChange>(&use[0]);
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->newName, "msdb");
    EXPECT_EQ(change->oldName, "master");
    EXPECT_EQ(messages(use)[0].number, 5701);
    EXPECT_EQ(messages(use)[0].severity, 10);
    EXPECT_EQ(messages(use)[0].text, "Changed database context to 'msdb'.");
    EXPECT_EQ(session_.database, "msdb");

    // sysdatabases lives in master only.
    EXPECT_EQ(messageNumbers(run("SELECT name FROM sysdatabases")), (std::vector<int>{208}));
    EXPECT_EQ(messageNumbers(run("USE nosuch SELECT 1")), (std::vector<int>{911}));
    EXPECT_EQ(session_.database, "msdb");

    Reply quiet = run("SET NOCOUNT ON SELECT name FROM master..sysdatabases");
    EXPECT_EQ(dones(quiet).back().status & DoneCount, 0);
}

TEST_F(EngineQuery, StatementErrorsLetTheBatchGoOnButSyntaxErrorsStopIt) {
    Reply r = run("EXEC sp_nosuch 1 SELECT 2");
    EXPECT_EQ(messageNumbers(r), (std::vector<int>{2812}));
    EXPECT_EQ(messages(r)[0].text, "Could not find stored procedure 'sp_nosuch'.");
    EXPECT_EQ(results(r).size(), 1u);
    EXPECT_EQ(dones(r)[0].status, DoneMore | DoneError);

    Reply syntax = run("SELECT 1 SELECT FROM");
    EXPECT_TRUE(results(syntax).empty());
    EXPECT_EQ(messageNumbers(syntax), (std::vector<int>{156}));
    EXPECT_EQ(dones(syntax).back().status, DoneError);

    Reply empty = run("  -- nothing\n ; ");
    EXPECT_EQ(empty.size(), 1u);

    Reply tran = run("BEGIN TRAN SELECT @@TRANCOUNT");
    EXPECT_NE(dones(tran).back().status & DoneInXact, 0);
    EXPECT_FALSE(hasError(run("IF @@TRANCOUNT > 0 COMMIT")));
    EXPECT_EQ(messageNumbers(run("COMMIT")), (std::vector<int>{3902}));
}

}  // namespace
}  // namespace standin::test
