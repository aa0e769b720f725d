#include "attach/AttachTexts.h"

#include "access/SqlText.h"

namespace korvid::attach {

namespace {
const QChar kCr(13);
}

const char16_t* const kSingleFileDoneTitle = u"提示：";
const char16_t* const kNoDataFilePathTitle = u"错误：";
const char16_t* const kAllAttachedTitle = u"附加完成";

QString checkPrimaryFileStatement(const QString& path, int option) {
    return QStringLiteral("dbcc checkprimaryfile (") + nLiteral(path) + QLatin1Char(',') +
           QString::number(option) + QStringLiteral(") ");
}

QString attachWithLogStatement(const QString& database, const QString& dataPath,
                               const QString& logPath) {
    return QStringLiteral("sp_attach_db  ") + nLiteral(database) + QStringLiteral(", ") +
           nLiteral(dataPath) + QStringLiteral(", ") + nLiteral(logPath);
}

QString attachWithLogStatement(const QString& database, const QString& dataPath,
                               const QString& logPath, const QStringList& furtherPaths) {
    QString statement = attachWithLogStatement(database, dataPath, logPath);
    for (const QString& path : furtherPaths) statement += QStringLiteral(", ") + nLiteral(path);
    return statement;
}

QString attachSingleFileStatement(const QString& database, const QString& dataPath) {
    return QStringLiteral("sp_attach_single_file_db  ") + nLiteral(database) + QLatin1Char(',') +
           nLiteral(dataPath);
}

QString progressText(int selectedIndex, int rowCount, const QString& database) {
    return QStringLiteral("正在附加：［") + QString::number(selectedIndex + 1) + QLatin1Char('/') +
           QString::number(rowCount) + QStringLiteral("］－") + database;
}

QString singleFileDoneText(const QString& database) {
    return QStringLiteral("附加 ") + database + QStringLiteral(" 完成！");
}

QString noDataFilePathText() {
    return QStringLiteral("请指定物理数据文件路径！");
}

QString nothingToAttachText() {
    return kCr + QStringLiteral("没有要附加的文件！ ");
}

QString invalidTargetText() {
    return kCr + QStringLiteral("非法路径！  ") + kCr + kCr +
           QStringLiteral("请重新输入目标路径。 ");
}

QString targetNotWritableText() {
    return kCr + QStringLiteral("目标驱动器无写操作权！ ");
}

QString cannotAttachText(const QString& path) {
    return kCr + QStringLiteral("无法附加：") + path + QStringLiteral("  ") + kCr + kCr +
           QStringLiteral("数据库有错误或数据库名已存在！  ");
}

QString allAttachedText() {
    return QStringLiteral("全部附加完成！");
}

QString furtherFileMissingText(const QString& logicalName, const QString& lookedAt,
                               const QString& recordedPath) {
    return QStringLiteral("找不到文件 %1：%2 不存在；服务器只能到数据文件记录的位置 %3 查找。")
        .arg(logicalName, lookedAt.isEmpty() ? recordedPath : lookedAt, recordedPath);
}

QString furtherFileNotNamedText(const QString& logicalName, const QString& recordedPath) {
    return QStringLiteral(
               "文件 %1 超出 sp_attach_db 的 16 个文件，没有指定；服务器只能到数据文件记录的位置 "
               "%2 查找。")
        .arg(logicalName, recordedPath);
}

QString upgradeElsewhereText() {
    return QStringLiteral(
        "这是 SQL Server 2000 的数据文件，本服务器不能升级它：SQL Server 2005、2008 或 2008 R2 "
        "可以附加并升级它；请先附加到那里，分离后再附加到本服务器。");
}

}  // namespace korvid::attach
