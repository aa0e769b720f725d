#pragma once
// The inspection record of the attach operations and the readers of the server's answers to
// dbcc checkprimaryfile.

#include <QList>
#include <QString>
#include <QStringList>

#include "access/FailureText.h"
#include "db/Connection.h"

namespace korvid::attach {

// A file of the database beyond the primary and the first log (a secondary data file, a
// further log), looked for where the log is looked for.
struct FurtherFile {
    QString logicalName;
    QString recordedPath;  // as the primary file recorded it
    QString path;          // where it was looked for; empty when the recorded path names no file
    bool found = false;    // a plain file is there
};

// The hidden boxes Text2..Text7 of the attach operations, and the database's further files.
struct InspectionRecord {
    QString dataPath;              // Text2
    QString logPath;               // Text3
    QString databaseName;          // Text4
    int recordedFolderLength = 0;  // Text5
    int recordedLogLength = 0;     // Text6
    QString recordedLogPath;       // Text7
    QList<FurtherFile> furtherFiles;
};

// sp_attach_db names 16 files at most: the primary, the log and 14 more.
constexpr int kMaxAttachFiles = 16;

// The further files the attach names: those found, as many as fit. The server looks for the
// others where the primary file recorded them.
QStringList furtherPathsToName(const InspectionRecord& record);

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

struct RecordedFile {
    QString logicalName;
    QString path;
};

struct RecordedFiles {
    QString dataPath;
    QString logPath;
    QList<RecordedFile> further;  // rows 2 and on
};

// Cell (0, 1) of option 2. Throws InspectionError when the result has no such cell.
QString readDatabaseName(const db::ResultSet& option2);
// Column 3 of rows 0 and 1 of option 3, and columns 2 and 3 of the further rows, padding
// trimmed. Throws InspectionError.
RecordedFiles readRecordedFiles(const db::ResultSet& option3);

}  // namespace korvid::attach
