// tds-standin through unixODBC and the FreeTDS ODBC driver, Korvid's own client path.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "OdbcClient.h"
#include "StandinProcess.h"

using korvid::test::OdbcClient;
using korvid::test::StandinProcess;

namespace {

class Odbc : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.start()); }
    QString cs(const QString& password = QStringLiteral("pw"), const QString& extra = {}) const {
        return OdbcClient::connectionString(server_.port(), password, QStringLiteral("master"),
                                            extra);
    }
    StandinProcess server_;
};

}  // namespace

TEST_F(Odbc, LoginOutcomes) {
    {
        OdbcClient c;
        EXPECT_FALSE(c.connect(cs(QStringLiteral("wrong"))));
        EXPECT_TRUE(c.hasNative(18456));
    }
    {
        // The stand-in offers no encryption, so a client that insists gives up.
        OdbcClient c;
        EXPECT_FALSE(c.connect(cs(QStringLiteral("pw"), QStringLiteral("Encryption=require"))));
    }
    {
        OdbcClient c;
        EXPECT_FALSE(c.connect(OdbcClient::connectionString(server_.port(), QStringLiteral("pw"),
                                                            QStringLiteral("no_such_db"))));
        EXPECT_TRUE(c.hasNative(4060) || c.hasNative(18456));
    }
    {
        OdbcClient c;
        ASSERT_TRUE(c.connect(cs(QStringLiteral("pw"), QStringLiteral("Encryption=off"))));
        char name[64] = {};
        SQLSMALLINT len = 0;
        SQLGetInfo(c.dbc(), SQL_DBMS_VER, name, sizeof name, &len);
        EXPECT_STREQ(name, "08.00.2039");
    }
}

TEST_F(Odbc, MultiRowResultAndAnErrorInTheSecondStatement) {
    OdbcClient c;
    ASSERT_TRUE(c.connect(cs()));
    std::vector<QStringList> rows;
    ASSERT_TRUE(c.query(QStringLiteral("select name  from sysdatabases ORDER BY name"), &rows));
    ASSERT_GE(rows.size(), 4u);
    QStringList names;
    for (const auto& r : rows) names << r.value(0);
    EXPECT_EQ(names.mid(0, 4), (QStringList{"master", "model", "msdb", "tempdb"}));

    // The error of a later statement is seen through SQLMoreResults; a result before it whole.
    std::vector<std::vector<QStringList>> results;
    c.execAll(QStringLiteral("select name  from sysdatabases ORDER BY name\n"
                             "select name from no_such_table"),
              &results);
    for (const auto& result : results) EXPECT_EQ(result.size(), rows.size());
    EXPECT_TRUE(c.hasNative(208));
    // The session goes on after the error.
    std::vector<QStringList> again;
    ASSERT_TRUE(c.query(QStringLiteral("select name  from sysdatabases ORDER BY name"), &again));
    EXPECT_EQ(again.size(), rows.size());
}

TEST_F(Odbc, ClosingAfterOneRowCancelsAndTheNextStatementRuns) {
    OdbcClient c;
    ASSERT_TRUE(c.connect(cs()));
    for (int round = 0; round < 3; ++round) {
        SQLHSTMT stmt = c.newStatement();
        ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(
            stmt, (SQLCHAR*)"select name  from sysdatabases ORDER BY name", SQL_NTS)));
        ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(stmt)));
        // The rest of the rows are unread: FreeTDS sends an attention and waits for its answer.
        QElapsedTimer t;
        t.start();
        EXPECT_TRUE(SQL_SUCCEEDED(SQLFreeStmt(stmt, SQL_CLOSE)));
        EXPECT_LT(t.elapsed(), 10000);
        c.freeStatement(stmt);

        std::vector<QStringList> rows;
        ASSERT_TRUE(c.query(QStringLiteral("select name  from sysdatabases ORDER BY name"), &rows))
            << "round " << round;
        ASSERT_GE(rows.size(), 4u);
        EXPECT_EQ(rows[0].value(0), QStringLiteral("master"));
    }
}

TEST_F(Odbc, ReplyLargerThanOnePacketArrivesWhole) {
    OdbcClient c;
    ASSERT_TRUE(c.connect(cs()));
    // Forty database lists in one batch: a reply of many 4096-byte packets.
    QString sql;
    for (int i = 0; i < 40; ++i)
        sql += QStringLiteral("select name  from sysdatabases ORDER BY name\n");
    std::vector<std::vector<QStringList>> results;
    ASSERT_TRUE(c.execAll(sql, &results));
    ASSERT_EQ(results.size(), 40u);
    for (const auto& r : results) {
        ASSERT_GE(r.size(), 4u);
        EXPECT_EQ(r[0].value(0), QStringLiteral("master"));
        EXPECT_EQ(r[3].value(0), QStringLiteral("tempdb"));
    }
}
