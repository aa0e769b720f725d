#include "maintenance/MaintenanceTexts.h"

#include "access/SqlText.h"

namespace korvid::maintenance {

const char16_t* const kDoneTitle = u"提示：";
const char16_t* const kNoSelectionTitle = u"提示:";

QString detachStatement(const QString& database) {
    return QStringLiteral("EXEC sp_detach_db @dbname = ") + nLiteral(database);
}

QString logicalNameQuery(ShrinkKind kind) {
    return kind == ShrinkKind::Log ? QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 2)")
                                   : QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= 1)");
}

QString shrinkBatch(const QString& database, const QString& logicalName) {
    return QStringLiteral("BACKUP LOG ") + bracketed(database) +
           QStringLiteral(" WITH TRUNCATE_ONLY DBCC SHRINKFILE (") + bracketed(logicalName) +
           QLatin1Char(')');
}

QString modernShrinkBatch(const QString& database, const QString& logicalName) {
    const QString name = bracketed(database);
    return QStringLiteral(
               "DECLARE @model nvarchar(60) "
               "DECLARE @message nvarchar(2048) "
               "SET @model = CONVERT(nvarchar(60), DATABASEPROPERTYEX(%1, 'Recovery')) "
               "IF @model <> N'SIMPLE' ALTER DATABASE %2 SET RECOVERY SIMPLE "
               "CHECKPOINT "
               "BEGIN TRY DBCC SHRINKFILE (%3) END TRY "
               "BEGIN CATCH SET @message = ERROR_MESSAGE() END CATCH "
               "IF @model = N'FULL' ALTER DATABASE %2 SET RECOVERY FULL "
               "IF @model = N'BULK_LOGGED' ALTER DATABASE %2 SET RECOVERY BULK_LOGGED "
               "IF @message IS NOT NULL RAISERROR(@message, 16, 1)")
        .arg(nLiteral(database), name, bracketed(logicalName));
}

QString shrinkBatchFor(int majorVersion, const QString& database, const QString& logicalName) {
    // TRUNCATE_ONLY was refused from SQL Server 2008 (version 10) on.
    return majorVersion >= 10 ? modernShrinkBatch(database, logicalName)
                              : shrinkBatch(database, logicalName);
}

QString detachCaption(const QString& database) {
    return QStringLiteral("分离数据库：") + database;
}
QString shrinkLogCaption(const QString& database) {
    return QStringLiteral("收缩日志：") + database;
}
QString shrinkDatabaseCaption(const QString& database) {
    return QStringLiteral("收缩数据库：") + database;
}

QString detachDoneText(const QString& database) {
    return QStringLiteral("分离数据库 ") + database + QStringLiteral(" 成功！");
}

QString shrinkDoneText(ShrinkKind kind) {
    return kind == ShrinkKind::Log ? QStringLiteral("日志文件收缩成功！")
                                   : QStringLiteral("数据库收缩成功！");
}

QString noDatabaseSelectedText() {
    return QStringLiteral("请选择数据库名称！");
}

QString noFileToShrinkText(const QString& database) {
    return QStringLiteral("在数据库 ") + database + QStringLiteral(" 中找不到要收缩的文件！");
}

}  // namespace korvid::maintenance
