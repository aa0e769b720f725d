#pragma once
// The statement texts, captions and messages of detach, shrink log and shrink database.

#include <QString>

namespace korvid::maintenance {

enum class ShrinkKind { Log, Database };

QString detachStatement(const QString& database);
// The lookup of the file's logical name, inside the database itself.
QString logicalNameQuery(ShrinkKind kind);
// Truncates the log, then shrinks the looked-up file (SQL Server 2000 and 2005).
QString shrinkBatch(const QString& database, const QString& logicalName);
// The same from SQL Server 2008 on, where TRUNCATE_ONLY is gone: the log is emptied by the
// simple recovery model and a checkpoint, the file shrunk, and the model the database had is
// put back, also when the shrink fails (whose error then ends the batch as before).
QString modernShrinkBatch(const QString& database, const QString& logicalName);
// The batch for a server of the given major version (8 for 2000, 10 for 2008, 16 for 2022).
QString shrinkBatchFor(int majorVersion, const QString& database, const QString& logicalName);

QString detachCaption(const QString& database);
QString shrinkLogCaption(const QString& database);
QString shrinkDatabaseCaption(const QString& database);

QString detachDoneText(const QString& database);
QString shrinkDoneText(ShrinkKind kind);
QString noDatabaseSelectedText();
QString noFileToShrinkText(const QString& database);

extern const char16_t* const kDoneTitle;         // "提示：" (full-width colon)
extern const char16_t* const kNoSelectionTitle;  // "提示:" (ASCII colon)

}  // namespace korvid::maintenance
