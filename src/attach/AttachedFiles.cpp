#include "attach/AttachedFiles.h"

#include "access/FailureText.h"

namespace korvid::attach {

fs::PathStyle serverPathStyle(const QString& versionText) {
    return versionText.contains(QLatin1String(" on Linux")) ? fs::PathStyle::Posix
                                                            : fs::PathStyle::Windows;
}

QString AttachedFiles::statement(int majorVersion) {
    return majorVersion >= 9
               ? QStringLiteral(
                     "SELECT @@VERSION\n"
                     "SELECT DB_NAME(database_id), physical_name FROM sys.master_files")
               : QStringLiteral(
                     "SELECT @@VERSION\nSELECT DB_NAME(dbid), filename FROM sysaltfiles");
}

AttachedFiles AttachedFiles::read(const db::BatchResult& batch) {
    const QList<db::ResultSet>& sets = batch.resultSets;
    if (sets.size() < 2 || sets.first().rows.isEmpty() || sets.first().rows.first().isEmpty())
        throw OperationError(QStringLiteral("服务器没有列出它的数据文件。"));
    AttachedFiles files;
    files.style_ = serverPathStyle(sets.first().rows.first().first());
    for (const QStringList& row : sets.at(1).rows) {
        // 2000 pads the path to its column's length; the key drops the blanks on Windows.
        if (row.size() >= 2 && !row.at(1).isEmpty())
            files.databaseByPath_.insert(fs::serverPathKey(row.at(1), files.style_), row.at(0));
    }
    return files;
}

QString AttachedFiles::databaseOf(const QString& path) const {
    return databaseByPath_.value(fs::serverPathKey(path, style_));
}

}  // namespace korvid::attach
