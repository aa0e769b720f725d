// The log path to attach with, and the readers of the server's inspection results.
#include <gtest/gtest.h>

#include "attach/Inspection.h"
#include "attach/LogPath.h"
#include "attach/MissingFolders.h"

using namespace korvid::attach;

namespace {
QString logFor(const QString& data, const QString& log, const QString& folder) {
    const auto d = deriveLogPath(data, log, folder);
    return d ? d->logPath : QStringLiteral("<none>");
}
}  // namespace

TEST(LogPath, WorkedExampleAndItsIntermediates) {
    const auto d = deriveLogPath(
        "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\shop.mdf",
        "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\shop_log.ldf", "E:\\BAK\\");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->logPath, QStringLiteral("E:\\BAK\\shop_log.ldf"));
    EXPECT_EQ(d->recordedFolderLength, 49);
    EXPECT_EQ(d->recordedLogPath,
              QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\shop_log.ldf"));
    EXPECT_EQ(d->recordedLogLength, 61);
}

TEST(LogPath, TheRecordedLogMovesIntoTheFoundFolder) {
    struct Case {
        const char *data, *log, *folder, *expected;  // "<none>": no log path
    };
    const Case cases[] = {
        // A blank in the log's name stays: the file on disk has it.
        {"C:\\Data\\shop.mdf", "C:\\Data\\shop log.ldf", "E:\\BAK\\", "E:\\BAK\\shop log.ldf"},
        // The found name differs in length from the recorded one: the cut does not shift.
        {"C:\\Data\\a.mdf", "C:\\Data\\Sales_Log.LDF", "E:\\Found Here\\",
         "E:\\Found Here\\Sales_Log.LDF"},
        // Below the data file's folder: the part below it is kept, separators the finding's.
        {"C:\\Data\\x.mdf", "c:\\data\\logs\\x_log.ldf", "/srv/found/",
         "/srv/found/logs/x_log.ldf"},
        {"/var/db/x.mdf", "/var/db/x_log.ldf", "/mnt/old disk/", "/mnt/old disk/x_log.ldf"},
        // Elsewhere: its file name in the found folder.
        {"D:\\A\\x.mdf", "E:\\LOGS\\x_log.ldf", "F:\\", "F:\\x_log.ldf"},
        // Shorter than the data file's folder: once a failure, now just its name.
        {"D:\\very\\long\\folder\\x.mdf", "D:\\l.ldf", "F:\\", "F:\\l.ldf"},
        // A POSIX recording compares with case: /DB/ is another folder than /db/.
        {"/db/x.mdf", "/DB/sub/x.ldf", "/f/", "/f/x.ldf"},
        {"x.mdf", "x_log.ldf", "/f/", "/f/x_log.ldf"},
        // No file name, no log path.
        {"C:\\Data\\x.mdf", "", "E:\\", "<none>"},
        {"C:\\Data\\x.mdf", "C:\\Data\\", "E:\\", "<none>"},
        {"C:\\Data\\x.mdf", "D:\\logs\\", "E:\\", "<none>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(logFor(c.data, c.log, c.folder), QString::fromUtf8(c.expected)) << c.log;
}

TEST(InspectionReaders, AbsentCellsAreFailuresAndPaddingIsTrimmed) {
    korvid::db::ResultSet option2;
    EXPECT_THROW(readDatabaseName(option2), InspectionError);
    option2.rows = {{"Database name"}};
    EXPECT_THROW(readDatabaseName(option2), InspectionError);
    option2.rows = {{"Database name", "O'Brien"}, {"Database version", "539"}};
    EXPECT_EQ(readDatabaseName(option2), QStringLiteral("O'Brien"));

    korvid::db::ResultSet option3;
    option3.rows = {{"2", "1", "shop", "C:\\Program Files\\shop.mdf    "}};
    EXPECT_THROW(readRecordedFiles(option3), InspectionError);  // no log row
    option3.rows.append({"66", "2", "shop_log"});               // a short row
    EXPECT_THROW(readRecordedFiles(option3), InspectionError);
    option3.rows.last().append("C:\\Program Files\\shop log.ldf  ");
    const RecordedFiles files = readRecordedFiles(option3);
    EXPECT_EQ(files.dataPath, QStringLiteral("C:\\Program Files\\shop.mdf"));
    EXPECT_EQ(files.logPath, QStringLiteral("C:\\Program Files\\shop log.ldf"));
}

TEST(MissingFolders, CreatesEachMissingFolderAfterTheRoot) {
    QStringList created;
    QStringList plainFiles = {"c:\\file"};
    const FolderOps ops{[&](const QString& p) { return plainFiles.contains(p); },
                        [&](const QString& p) {
                            created << p;
                            return true;
                        }};
    createMissingFolders("c:\\", ops);
    createMissingFolders("/", ops);
    EXPECT_TRUE(created.isEmpty());
    createMissingFolders("c:\\a\\b\\", ops);
    EXPECT_EQ(created, QStringList({"c:\\a", "c:\\a\\b"}));
    created.clear();
    createMissingFolders("c:\\a\\b", ops);
    EXPECT_EQ(created, QStringList({"c:\\a"}));
    created.clear();
    createMissingFolders("c:\\file\\x\\", ops);  // a plain file of that name is left alone
    EXPECT_EQ(created, QStringList({"c:\\file\\x"}));
    created.clear();
    createMissingFolders("/srv/a\\b/", ops);  // on a POSIX path a backslash is part of a name
    EXPECT_EQ(created, QStringList({"/srv", "/srv/a\\b"}));
}
