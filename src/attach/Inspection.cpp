#include "attach/Inspection.h"

#include "access/SqlText.h"

namespace korvid::attach {

namespace {

bool cellAt(const db::ResultSet& rs, int row, int column, QString* out) {
    if (row >= rs.rows.size() || column >= rs.rows.at(row).size()) return false;
    *out = rs.rows.at(row).at(column);
    return true;
}

}  // namespace

QString readDatabaseName(const db::ResultSet& option2) {
    QString name;
    if (!cellAt(option2, 0, 1, &name))
        throw InspectionError(QStringLiteral("服务器没有返回数据文件中的数据库名称。"));
    return name;
}

RecordedFiles readRecordedFiles(const db::ResultSet& option3) {
    RecordedFiles files;
    if (!cellAt(option3, 0, 3, &files.dataPath))
        throw InspectionError(QStringLiteral("服务器没有返回数据文件中记录的文件路径。"));
    if (!cellAt(option3, 1, 3, &files.logPath))
        throw InspectionError(QStringLiteral("数据文件中没有记录日志文件。"));
    files.dataPath = trimPadding(files.dataPath);
    files.logPath = trimPadding(files.logPath);
    for (int row = 2; row < option3.rows.size(); ++row) {
        RecordedFile f;
        if (!cellAt(option3, row, 2, &f.logicalName) || !cellAt(option3, row, 3, &f.path)) continue;
        files.further.append({trimPadding(f.logicalName), trimPadding(f.path)});
    }
    return files;
}

QStringList furtherPathsToName(const InspectionRecord& record) {
    QStringList paths;
    for (const FurtherFile& f : record.furtherFiles) {
        if (f.found && paths.size() < kMaxAttachFiles - 2) paths << f.path;
    }
    return paths;
}

}  // namespace korvid::attach
