// The maintenance statements: names go in as literals or bracketed identifiers.
#include <gtest/gtest.h>

#include "maintenance/MaintenanceTexts.h"

using namespace korvid::maintenance;

TEST(MaintenanceStatements, NamesAreQuotedForTheirPlace) {
    EXPECT_EQ(detachStatement("shop"), QStringLiteral("EXEC sp_detach_db @dbname = N'shop'"));
    EXPECT_EQ(detachStatement("O'Brien"),
              QStringLiteral("EXEC sp_detach_db @dbname = N'O''Brien'"));
    EXPECT_EQ(shrinkBatch("my db", "my_log"),
              QStringLiteral("BACKUP LOG [my db] WITH TRUNCATE_ONLY DBCC SHRINKFILE ([my_log])"));
    EXPECT_EQ(
        shrinkBatch("a]b", QStringLiteral("销售库_log")),
        QStringLiteral("BACKUP LOG [a]]b] WITH TRUNCATE_ONLY DBCC SHRINKFILE ([销售库_log])"));
    EXPECT_EQ(logicalNameQuery(ShrinkKind::Log),
              QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 2)"));
    EXPECT_EQ(logicalNameQuery(ShrinkKind::Database),
              QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 1)"));
}

TEST(MaintenanceStatements, ShrinkBatchFollowsTheServerVersion) {
    // 2000 and 2005 get the batch as it always was, byte for byte.
    for (int major : {8, 9})
        EXPECT_EQ(shrinkBatchFor(major, "my db", "my_log"), shrinkBatch("my db", "my_log"));
    // From 2008 on, TRUNCATE_ONLY is gone: the model is switched and put back, names quoted.
    for (int major : {10, 15, 16}) {
        const QString batch = shrinkBatchFor(major, "a]b'c", "l]og");
        EXPECT_FALSE(batch.contains("TRUNCATE_ONLY"));
        EXPECT_TRUE(batch.contains("DATABASEPROPERTYEX(N'a]b''c', 'Recovery')"));
        EXPECT_TRUE(batch.contains("ALTER DATABASE [a]]b'c] SET RECOVERY SIMPLE"));
        EXPECT_TRUE(batch.contains("BEGIN TRY DBCC SHRINKFILE ([l]]og]) END TRY"));
        // The model is put back after the shrink, failed or not, before the error is raised
        // again: by THROW from 2012 on (after a ";", inside the CATCH), before that by
        // RAISERROR with the caught text as an argument, never as the format.
        const qsizetype raise = major >= 11 ? batch.indexOf("; THROW; END CATCH")
                                            : batch.indexOf(
                                                  "RAISERROR(N'Msg %d, Level %d, "
                                                  "State %d: %s', 16, 1, @number, "
                                                  "@severity, @state, @message)");
        EXPECT_GT(raise, 0);
        EXPECT_LT(batch.indexOf("SET RECOVERY FULL"), raise);
        EXPECT_GT(batch.lastIndexOf("SET RECOVERY FULL"), batch.indexOf("END CATCH"));
        EXPECT_EQ(batch.contains("THROW"), major >= 11);
    }
}
