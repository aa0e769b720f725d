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
