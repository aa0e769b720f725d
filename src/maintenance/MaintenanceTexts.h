#pragma once
// The statement texts, captions and messages of detach, shrink log and shrink database.

#include <QString>

namespace korvid::maintenance {

enum class ShrinkKind { Log, Database };

QString detachStatement(const QString& database);
// The lookup of the file's logical name, inside the database itself.
QString logicalNameQuery(ShrinkKind kind);
// The same file's size in 8 KB pages, read beside the name so that the shrink can be told to
// have freed something.
QString fileSizeQuery(ShrinkKind kind);
// The file id the lookups name: 2 the log, 1 the primary data file.
int fileIdOf(ShrinkKind kind);
// Truncates the log, then shrinks the looked-up file (SQL Server 2000 and 2005).
QString shrinkBatch(const QString& database, const QString& logicalName);
// The same from SQL Server 2008 on, where TRUNCATE_ONLY is gone: the log is emptied by the
// simple recovery model and a checkpoint, the file shrunk, and the model the database had is
// put back, also when the shrink fails. The caught error is raised again with its own number
// and text: by THROW from 2012 (version 11) on; before, RAISERROR can only send 50000, so the
// original number, severity and state go in front of the text (reraisedError reads them back).
QString modernShrinkBatch(int majorVersion, const QString& database, const QString& logicalName);
// The batch for a server of the given major version (8 for 2000, 10 for 2008, 16 for 2022).
QString shrinkBatchFor(int majorVersion, const QString& database, const QString& logicalName);

QString detachCaption(const QString& database);
QString shrinkLogCaption(const QString& database);
QString shrinkDatabaseCaption(const QString& database);

QString detachDoneText(const QString& database);
QString shrinkDoneText(ShrinkKind kind);
QString noDatabaseSelectedText();
QString noFileToShrinkText(const QString& database);
// The shrink ran but the file kept its size: a failure, not a success.
QString notShrunkText(ShrinkKind kind);
QString notShrunkSizeText(qint64 pages);

extern const char16_t* const kDoneTitle;         // "提示：" (full-width colon)
extern const char16_t* const kNoSelectionTitle;  // "提示:" (ASCII colon)

}  // namespace korvid::maintenance
