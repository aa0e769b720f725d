#include "maintenance/MaintenanceTexts.h"

#include "access/SqlText.h"

namespace korvid::maintenance {

const char16_t* const kDoneTitle = u"提示：";
const char16_t* const kNoSelectionTitle = u"提示:";

QString detachStatement(const QString& database) {
    return QStringLiteral("EXEC sp_detach_db @dbname = ") + nLiteral(database);
}

QString logicalNameQuery(ShrinkKind kind) {
    return QStringLiteral("SELECT name FROM sysfiles WHERE(fileid= %1)").arg(fileIdOf(kind));
}

QString shrinkBatch(const QString& database, const QString& logicalName) {
    return QStringLiteral("BACKUP LOG ") + bracketed(database) +
           QStringLiteral(" WITH TRUNCATE_ONLY DBCC SHRINKFILE (") + bracketed(logicalName) +
           QLatin1Char(')');
}

QString fileSizeQuery(ShrinkKind kind) {
    return QStringLiteral("SELECT size FROM sysfiles WHERE(fileid= %1)").arg(fileIdOf(kind));
}

int fileIdOf(ShrinkKind kind) {
    return kind == ShrinkKind::Log ? 2 : 1;
}

namespace {

// Puts back the model @model remembered; the ";" lets a THROW follow.
QString restoreModel(const QString& bracketedName) {
    return QStringLiteral(
               "IF @model = N'FULL' ALTER DATABASE %1 SET RECOVERY FULL "
               "IF @model = N'BULK_LOGGED' ALTER DATABASE %1 SET RECOVERY BULK_LOGGED; ")
        .arg(bracketedName);
}

}  // namespace

QString modernShrinkBatch(int majorVersion, const QString& database, const QString& logicalName) {
    const bool withThrow = majorVersion >= 11;
    const QString name = bracketed(database);
    const QString start =
        QStringLiteral("DECLARE @model nvarchar(60) ") +
        (withThrow ? QString()
                   : QStringLiteral("DECLARE @message nvarchar(2048) DECLARE @number int "
                                    "DECLARE @severity int DECLARE @state int ")) +
        QStringLiteral(
            "SET @model = CONVERT(nvarchar(60), DATABASEPROPERTYEX(%1, 'Recovery')) "
            "IF @model <> N'SIMPLE' ALTER DATABASE %2 SET RECOVERY SIMPLE "
            "CHECKPOINT "
            "BEGIN TRY DBCC SHRINKFILE (%3) END TRY ")
            .arg(nLiteral(database), name, bracketed(logicalName));
    // THROW ends the batch, so the model goes back inside the CATCH, before it.
    if (withThrow)
        return start + QStringLiteral("BEGIN CATCH ") + restoreModel(name) +
               QStringLiteral("THROW; END CATCH ") + restoreModel(name);
    // The caught text is an argument, never the format, so a "%" in it stays as it is.
    return start +
           QStringLiteral(
               "BEGIN CATCH SELECT @number = ERROR_NUMBER(), @severity = ERROR_SEVERITY(), "
               "@state = ERROR_STATE(), @message = ERROR_MESSAGE() END CATCH ") +
           restoreModel(name) +
           QStringLiteral(
               "IF @message IS NOT NULL "
               "RAISERROR(N'Msg %d, Level %d, State %d: %s', 16, 1, @number, @severity, @state, "
               "@message)");
}

QString shrinkBatchFor(int majorVersion, const QString& database, const QString& logicalName) {
    // TRUNCATE_ONLY was refused from SQL Server 2008 (version 10) on.
    return majorVersion >= 10 ? modernShrinkBatch(majorVersion, database, logicalName)
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

QString notShrunkText(ShrinkKind kind) {
    return kind == ShrinkKind::Log ? QStringLiteral("日志文件没有收缩：服务器没有释放任何空间。")
                                   : QStringLiteral("数据库没有收缩：服务器没有释放任何空间。");
}

QString notShrunkSizeText(qint64 pages) {
    return QStringLiteral("文件大小收缩前后都是 %1 页（每页 8 KB）。").arg(pages);
}

}  // namespace korvid::maintenance
