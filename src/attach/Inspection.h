#pragma once
// The inspection record of the attach operations and the readers of the server's answers to
// dbcc checkprimaryfile.

#include <QString>

#include "access/FailureText.h"
#include "db/Connection.h"

namespace korvid::attach {

// The hidden boxes Text2..Text7 of the attach operations.
struct InspectionRecord {
    QString dataPath;              // Text2
    QString logPath;               // Text3
    QString databaseName;          // Text4
    int recordedFolderLength = 0;  // Text5
    int recordedLogLength = 0;     // Text6
    QString recordedLogPath;       // Text7
};

// The file's header could not be read as a primary file's header.
class InspectionError : public OperationError {
public:
    using OperationError::OperationError;
};

// The selected row of the result table: List3 and List5.
struct InspectedFile {
    QString fullPath;
    QString folder;
};

struct RecordedFiles {
    QString dataPath;
    QString logPath;
};

// Cell (0, 1) of option 2. Throws InspectionError when the result has no such cell.
QString readDatabaseName(const db::ResultSet& option2);
// Column 3 of rows 0 and 1 of option 3, padding trimmed. Throws InspectionError.
RecordedFiles readRecordedFiles(const db::ResultSet& option3);

}  // namespace korvid::attach
