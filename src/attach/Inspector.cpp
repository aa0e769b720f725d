#include "attach/Inspector.h"

#include "access/QuerySource.h"
#include "attach/AttachTexts.h"
#include "attach/LogPath.h"
#include "fs/Files.h"

namespace korvid::attach {

Inspector::Inspector(QuerySource& inspectionSource) : inspectionSource_(inspectionSource) {}

const db::ResultSet& Inspector::run(const QString& statement) {
    inspectionSource_.setConnectionShape(ConnectionShape::server());
    inspectionSource_.setRecordSource(statement);
    inspectionSource_.refresh();
    return inspectionSource_.rows();
}

void Inspector::readDatabaseName(const InspectedFile& file) {
    record_.dataPath = file.fullPath;
    record_.databaseName =
        attach::readDatabaseName(run(checkPrimaryFileStatement(record_.dataPath, 2)));
}

void Inspector::readLogPath(const InspectedFile& file) {
    record_.dataPath = file.fullPath;
    const RecordedFiles recorded =
        readRecordedFiles(run(checkPrimaryFileStatement(record_.dataPath, 3)));
    const auto derived = deriveLogPath(recorded.dataPath, recorded.logPath, file.folder);
    if (!derived)
        throw InspectionError(QStringLiteral("数据文件中记录的日志文件路径无效：") +
                              recorded.logPath);
    record_.recordedFolderLength = derived->recordedFolderLength;
    record_.recordedLogPath = derived->recordedLogPath;
    record_.recordedLogLength = derived->recordedLogLength;
    record_.logPath = derived->logPath;
    // Each further file is looked for where the log is: its recorded path moved into the
    // folder the data file was found in.
    record_.furtherFiles.clear();
    for (const RecordedFile& r : recorded.further) {
        FurtherFile f{r.logicalName, r.path, QString(), false};
        if (const auto moved = deriveLogPath(recorded.dataPath, r.path, file.folder))
            f.path = moved->logPath;
        f.found = !f.path.isEmpty() && fs::plainFileExists(f.path);
        record_.furtherFiles.append(f);
    }
}

}  // namespace korvid::attach
