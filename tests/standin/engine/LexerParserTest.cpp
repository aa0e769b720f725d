// SQL text: tokens, quoting, comments, statement shapes and the syntax errors that refuse a batch.

#include <gtest/gtest.h>

#include "Collation.h"
#include "Lexer.h"
#include "Parser.h"

namespace standin {
namespace {

std::vector<SqlToken> tokens(const std::string& sql) {
    LexResult r = Lexer::tokenize(sql);
    EXPECT_FALSE(r.failure) << sql;
    return r.tokens;
}

TEST(Lexer, QuotingAndCommentsYieldTheIntendedValues) {
    auto t = tokens("N'O''Brien' 'x' [a]]b] \"my db\" /* a /* nested */ comment */ -- tail\n42");
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].kind, SqlToken::Kind::NString);
    EXPECT_EQ(t[0].value, "O'Brien");
    EXPECT_EQ(t[1].kind, SqlToken::Kind::String);
    EXPECT_EQ(t[1].value, "x");
    EXPECT_EQ(t[2].kind, SqlToken::Kind::Quoted);
    EXPECT_EQ(t[2].value, "a]b");
    EXPECT_EQ(t[3].value, "my db");
    EXPECT_EQ(t[4].kind, SqlToken::Kind::Number);
    EXPECT_EQ(t[4].line, 2);
    EXPECT_EQ(t[5].kind, SqlToken::Kind::End);

    // Unicode letters make up plain words; an N not followed by a quote is a word.
    auto u = tokens("USE 销售库 SELECT Name");
    EXPECT_EQ(u[1].kind, SqlToken::Kind::Word);
    EXPECT_EQ(u[1].value, "销售库");
    EXPECT_TRUE(u[3].isWord("NAME"));

    // Operators of two characters stay whole; a lone unknown character is its own symbol.
    auto o = tokens("a<>b>=c!=d`");
    EXPECT_TRUE(o[1].isSymbol("<>"));
    EXPECT_TRUE(o[3].isSymbol(">="));
    EXPECT_TRUE(o[5].isSymbol("!="));
    EXPECT_TRUE(o[7].isSymbol("`"));
}

TEST(Lexer, UnterminatedTextIsReportedNotSwallowed) {
    struct Case {
        const char* sql;
        int number;
    } cases[] = {
        {"SELECT 'abc", 105},
        {"SELECT N'it''s", 105},
        {"SELECT [open", 105},
        {"SELECT 1 /* never /* closed */", 113},
    };
    for (const Case& c : cases) {
        LexResult r = Lexer::tokenize(c.sql);
        ASSERT_TRUE(r.failure) << c.sql;
        EXPECT_EQ(r.failure->number, c.number) << c.sql;
    }
    EXPECT_EQ(Lexer::tokenize("SELECT 'abc").failure->text,
              "Unclosed quotation mark before the character string 'abc'.");
}

TEST(Parser, TheClientsStatementTextsParse) {
    const char* batches[] = {
        "SELECT * FROM sysdatabases WHERE (name >= N'u')",
        "select name  from sysdatabases ORDER BY name",
        "SELECT name FROM sysfiles WHERE(fileid= 2)",
        "dbcc checkprimaryfile (N'E:\\BAK\\SHOP.MDF',2) ",
        "DBCC CHECKPRIMARYFILE (N'/d/x.mdf', 3) WITH NO_INFOMSGS",
        "sp_attach_db  N'shop', N'E:\\BAK\\SHOP.MDF', N'E:\\BAK\\shop_log.ldf'",
        "sp_attach_single_file_db  shop,'E:\\BAK\\SHOP.MDF '",
        "EXEC sp_detach_db @dbname = 'shop'",
        "BACKUP LOG shop WITH TRUNCATE_ONLY DBCC SHRINKFILE (shop_log)",
        "SELECT @@VERSION; SELECT @@SPID spid, DB_NAME()",
        "set textsize 2147483647\nset quoted_identifier on\nset arithabort off\n"
        "set numeric_roundabort off\nset ansi_warnings on\nset ansi_padding on\n"
        "set ansi_nulls on\nset concat_null_yields_null on\nset cursor_close_on_commit off\n"
        "set implicit_transactions off\nset language us_english\nset dateformat mdy\n"
        "set datefirst 7\nset transaction isolation level read committed",
        "CREATE DATABASE [my db] ON (NAME = d, FILENAME = N'/x/d.mdf', SIZE = 2MB) "
        "LOG ON (NAME = 'l', FILENAME = '/x/l.ldf', SIZE = 512KB, FILEGROWTH = 10%)",
        "IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION",
    };
    for (const char* b : batches) {
        ParseResult r = Parser::parseBatch(b);
        EXPECT_FALSE(r.failure) << b << ": " << (r.failure ? r.failure->text : "");
        EXPECT_FALSE(r.statements.empty()) << b;
    }

    ParseResult shrink = Parser::parseBatch(batches[8]);
    ASSERT_EQ(shrink.statements.size(), 2u);
    EXPECT_EQ(std::get<BackupLogStatement>(shrink.statements[0].body).database, "shop");
    const auto& dbcc = std::get<DbccStatement>(shrink.statements[1].body);
    EXPECT_EQ(dbcc.command, "SHRINKFILE");
    ASSERT_EQ(dbcc.args.size(), 1u);
    EXPECT_EQ(dbcc.args[0].text, "shop_log");

    // A bare procedure call takes unquoted names as character values and keeps the blank
    // inside a quoted path.
    ParseResult single = Parser::parseBatch(batches[6]);
    const auto& ex = std::get<ExecStatement>(single.statements[0].body);
    ASSERT_EQ(ex.args.size(), 2u);
    EXPECT_EQ(ex.args[0].value.text, "shop");
    EXPECT_EQ(ex.args[1].value.text, "E:\\BAK\\SHOP.MDF ");

    ParseResult named = Parser::parseBatch("EXEC master.dbo.sp_detach_db @dbname = [a]]b]");
    const auto& nx = std::get<ExecStatement>(named.statements[0].body);
    EXPECT_EQ(nx.procedure, "sp_detach_db");
    EXPECT_EQ(nx.args[0].parameter, "@dbname");
    EXPECT_EQ(nx.args[0].value.text, "a]b");

    ParseResult create = Parser::parseBatch(batches[11]);
    const auto& cd = std::get<CreateDatabaseStatement>(create.statements[0].body);
    EXPECT_EQ(cd.name, "my db");
    ASSERT_EQ(cd.dataFiles.size(), 1u);
    EXPECT_EQ(*cd.dataFiles[0].sizeKb, 2048);
    EXPECT_EQ(*cd.logFiles[0].sizeKb, 512);
    EXPECT_TRUE(cd.logFiles[0].growthPercent);

    ParseResult qualified = Parser::parseBatch("SELECT name FROM master..sysdatabases");
    const auto& sel = std::get<SelectStatement>(qualified.statements[0].body);
    EXPECT_EQ(sel.from->database, "master");
    EXPECT_EQ(sel.from->owner, "");
    EXPECT_EQ(sel.from->object, "sysdatabases");
}

TEST(Parser, SyntaxErrorsNameTheOffendingTokenAndRefuseTheBatch) {
    struct Case {
        const char* sql;
        int number;
        const char* text;
    } cases[] = {
        {"SELECT * FROM", 156, "Incorrect syntax near the keyword 'FROM'."},
        {"BACKUP LOG my db WITH TRUNCATE_ONLY", 102, "Incorrect syntax near 'db'."},
        {"SELECT name FROM sysfiles WHERE(", 102, "Incorrect syntax near '('."},
        {"SELECT 1 frobnicate now", 102, "Incorrect syntax near 'now'."},
        {"SELECT 1 SELECT FROM x", 156, "Incorrect syntax near the keyword 'FROM'."},
        {"sp_detach_db 'a' sp_detach_db 'b'", 102, "Incorrect syntax near 'sp_detach_db'."},
        {"SELECT @x", 137, "Must declare the variable '@x'."},
        {"SELECT nosuch(1)", 195, "'nosuch' is not a recognized function name."},
        {"SET bogus ON", 195, "'bogus' is not a recognized SET option."},
    };
    for (const Case& c : cases) {
        ParseResult r = Parser::parseBatch(c.sql);
        ASSERT_TRUE(r.failure) << c.sql;
        EXPECT_EQ(r.failure->number, c.number) << c.sql;
        EXPECT_EQ(r.failure->text, c.text) << c.sql;
        EXPECT_TRUE(r.statements.empty()) << c.sql;
    }
}

TEST(Parser, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    std::string deep = "SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')');
    ParseResult r = Parser::parseBatch(deep);
    ASSERT_TRUE(r.failure);
    EXPECT_EQ(r.failure->number, 191);

    std::string nots = "SELECT 1 WHERE ";
    for (int i = 0; i < 50000; ++i) nots += "NOT ";
    nots += "1 = 1";
    EXPECT_EQ(Parser::parseBatch(nots).failure->number, 191);
}

}  // namespace
}  // namespace standin

namespace standin {
namespace {

TEST(Collation, CaseInsensitiveTrailingBlankBlindComparisonAndLike) {
    EXPECT_EQ(Collation::compare("SHOP", "shop"), 0);
    EXPECT_EQ(Collation::compare("shop  ", "shop"), 0);
    EXPECT_EQ(Collation::compare("ÉTÉ", "été"), 0);
    EXPECT_LT(Collation::compare("a", "b"), 0);
    EXPECT_LT(Collation::compare("shop", "shop2"), 0);
    EXPECT_NE(Collation::compare("销售库", "销售"), 0);
    EXPECT_EQ(Collation::length("销售库"), 3u);
    // Invalid UTF-8 is compared byte by byte rather than rejected.
    EXPECT_EQ(Collation::compare("\xff\xfe", "\xff\xfe"), 0);

    struct Case {
        const char* text;
        const char* pattern;
        bool match;
    } cases[] = {
        {"master", "m%", true},
        {"MSDB", "m_db", true},
        {"tempdb", "%DB", true},
        {"model", "m[aeiou]del", true},
        {"model", "m[^o]del", false},
        {"abc", "[a-c]bc", true},
        {"abc", "a", false},
        {"", "%", true},
        {"x", "", false},
        {"a%b", "a[%]b", true},
        {"shop ", "shop", true},
        {"销售库", "销%", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Collation::like(c.text, c.pattern), c.match) << c.text << " LIKE " << c.pattern;
    }
    // Many wildcards stay linear instead of backtracking.
    EXPECT_FALSE(Collation::like(std::string(3000, 'a'), std::string(1500, '%') + "b"));
}

}  // namespace
}  // namespace standin
