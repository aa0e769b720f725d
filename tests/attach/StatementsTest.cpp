// Statement texts: every value must reach the server as one literal, whatever it holds.
#include <gtest/gtest.h>

#include "access/FailureText.h"
#include "access/SqlText.h"
#include "attach/AttachFailure.h"
#include "attach/AttachTexts.h"
#include "attach/AttachedFiles.h"
#include "attach/OutcomeTexts.h"

using namespace korvid;
using namespace korvid::attach;

TEST(AttachStatements, NormalValuesKeepTheirForm) {
    EXPECT_EQ(
        attachWithLogStatement("shop", "E:\\BAK\\SHOP.MDF", "E:\\BAK\\shop_log.ldf"),
        QStringLiteral("sp_attach_db  N'shop', N'E:\\BAK\\SHOP.MDF', N'E:\\BAK\\shop_log.ldf'"));
    // A database's further files follow the log; with none the statement is the same.
    EXPECT_EQ(attachWithLogStatement("s", "/b/s.mdf", "/b/s.ldf", {"/b/s2.ndf", "/b/s3.ldf"}),
              QStringLiteral("sp_attach_db  N's', N'/b/s.mdf', N'/b/s.ldf', N'/b/s2.ndf', "
                             "N'/b/s3.ldf'"));
    EXPECT_EQ(attachWithLogStatement("s", "/b/s.mdf", "/b/s.ldf", {}),
              attachWithLogStatement("s", "/b/s.mdf", "/b/s.ldf"));
    EXPECT_EQ(checkPrimaryFileStatement("E:\\BAK\\SHOP.MDF", 2),
              QStringLiteral("dbcc checkprimaryfile (N'E:\\BAK\\SHOP.MDF',2) "));
    EXPECT_EQ(checkPrimaryFileStatement("/srv/d/SHOP.MDF", 3),
              QStringLiteral("dbcc checkprimaryfile (N'/srv/d/SHOP.MDF',3) "));
    // The name is a literal too, and the path has no blank before its closing quote.
    EXPECT_EQ(attachSingleFileStatement("shop", "E:\\BAK\\SHOP.MDF"),
              QStringLiteral("sp_attach_single_file_db  N'shop',N'E:\\BAK\\SHOP.MDF'"));
}

TEST(AttachStatements, QuotesAreDoubledBlanksAndChineseKept) {
    EXPECT_EQ(attachWithLogStatement("O'Brien", "/d/o'b.mdf", "/d/o'b_log.ldf"),
              QStringLiteral("sp_attach_db  N'O''Brien', N'/d/o''b.mdf', N'/d/o''b_log.ldf'"));
    EXPECT_EQ(attachSingleFileStatement("my db", "/d/my db.mdf"),
              QStringLiteral("sp_attach_single_file_db  N'my db',N'/d/my db.mdf'"));
    EXPECT_EQ(checkPrimaryFileStatement(QStringLiteral("/数据/销售'库.mdf"), 2),
              QStringLiteral("dbcc checkprimaryfile (N'/数据/销售''库.mdf',2) "));
    EXPECT_EQ(nLiteral("''"), QStringLiteral("N''''''"));
    EXPECT_EQ(nLiteral(""), QStringLiteral("N''"));
    EXPECT_EQ(bracketed("a]b"), QStringLiteral("[a]]b]"));
}

TEST(AttachTexts, ProgressCountsFromOneAndMessagesKeepTheirBlanks) {
    EXPECT_EQ(progressText(2, 12, "shop"), QStringLiteral("正在附加：［3/12］－shop"));
    EXPECT_EQ(progressText(0, 1, QStringLiteral("销售库")),
              QStringLiteral("正在附加：［1/1］－销售库"));
    const QString cr(QChar(13));
    EXPECT_EQ(cannotAttachText("/d/x.mdf"), cr + QStringLiteral("无法附加：/d/x.mdf  ") + cr + cr +
                                                QStringLiteral("数据库有错误或数据库名已存在！  "));
    EXPECT_EQ(invalidTargetText(), cr + QStringLiteral("非法路径！  ") + cr + cr +
                                       QStringLiteral("请重新输入目标路径。 "));
    EXPECT_EQ(nothingToAttachText(), cr + QStringLiteral("没有要附加的文件！ "));
    EXPECT_EQ(singleFileDoneText("my db"), QStringLiteral("附加 my db 完成！"));
}

TEST(SqlText, PaddingGoesInnerBlanksStay) {
    EXPECT_EQ(trimPadding("C:\\Program Files\\a b.mdf      "),
              QStringLiteral("C:\\Program Files\\a b.mdf"));
    EXPECT_EQ(trimPadding("   "), QString());
    EXPECT_EQ(trimPadding(" x"), QStringLiteral(" x"));
}

TEST(AttachStatements, FurtherFilesFoundAreNamedUpToSixteenAndTheRestSaidInTheDetails) {
    InspectionRecord r;
    for (int i = 0; i < 16; ++i) {
        const QString n = QStringLiteral("f%1").arg(i);
        r.furtherFiles.append({n, "/old/" + n, "/new/" + n, i != 3});
    }
    const QStringList named = furtherPathsToName(r);
    EXPECT_EQ(named.size(), kMaxAttachFiles - 2);
    EXPECT_FALSE(named.contains("/new/f3"));
    EXPECT_EQ(named.last(), "/new/f14");
    const db::DbError refused({5120, 16, 0, "42000", "Unable to open the physical file"}, {});
    EXPECT_EQ(attachFailureNotes(refused, r),
              (QStringList{furtherFileMissingText("f3", "/new/f3", "/old/f3"),
                           furtherFileNotNamedText("f15", "/old/f15")}));
}

TEST(AttachedFiles, EachReleaseListsItsFilesComparedAsItsPlatformCompares) {
    EXPECT_TRUE(AttachedFiles::statement(8).endsWith("FROM sysaltfiles"));
    EXPECT_TRUE(AttachedFiles::statement(0).endsWith("FROM sysaltfiles"));  // version not told
    EXPECT_TRUE(AttachedFiles::statement(9).endsWith("FROM sys.master_files"));
    EXPECT_TRUE(AttachedFiles::statement(16).endsWith("FROM sys.master_files"));
    const char* const windows2000 =
        "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\t"
        "Standard Edition on Windows NT 5.0 (Build 2195: SP4)\n";
    const char* const linux2019 =
        "Microsoft SQL Server 2019 (RTM-CU16-GDR) - 15.0.4236.7 (X64) "
        "\n\tDeveloper Edition (64-bit) on Linux (Ubuntu 20.04.4 LTS)";
    const struct {
        const char* banner;
        const char* listed;
        const char* found;
        const char* database;
    } cases[] = {
        {windows2000, "C:\\Data\\shop.mdf      ", "C:\\DATA\\SHOP.MDF", "shop"},
        {windows2000, "C:\\Data\\shop.mdf", "C:\\DATA\\SHOP_2.MDF", ""},
        {linux2019, "/var/opt/mssql/data/shop.mdf", "/var/opt/mssql/data/shop.mdf", "shop"},
        {linux2019, "/var/opt/mssql/data/shop.mdf", "/var/opt/mssql/data/SHOP.MDF", ""},
    };
    for (const auto& c : cases) {
        db::BatchResult answer;
        answer.resultSets = {{{""}, {{QString::fromUtf8(c.banner)}}},
                             {{"", "filename"}, {{"shop", c.listed}, {"model", ""}}}};
        EXPECT_EQ(AttachedFiles::read(answer).databaseOf(c.found), QString::fromUtf8(c.database))
            << c.listed << " / " << c.found;
    }
    EXPECT_THROW(AttachedFiles::read(db::BatchResult()), OperationError);
}

TEST(OutcomeTexts, EachRowSaysWhatBecameOfItsFile) {
    EXPECT_EQ(attachedBeforeText(QStringLiteral("销售库")), QStringLiteral("已附加：销售库"));
    EXPECT_EQ(attachedText("shop"), QStringLiteral("附加成功：shop"));
    EXPECT_EQ(goneText(), QStringLiteral("已跳过：文件已不存在"));
    EXPECT_EQ(
        failedText({"Database 'shop' already exists.", "Msg 1801, Level 16, State 3"}),
        QStringLiteral("附加失败：Database 'shop' already exists.\nMsg 1801, Level 16, State 3"));
}
