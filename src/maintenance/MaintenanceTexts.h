#pragma once
// The statement texts, captions and messages of detach, shrink log and shrink database.

#include <QString>

namespace korvid::maintenance {

enum class ShrinkKind { Log, Database };

QString detachStatement(const QString& database);
// The lookup of the file's logical name, inside the database itself.
QString logicalNameQuery(ShrinkKind kind);
// Truncates the log, then shrinks the looked-up file.
QString shrinkBatch(const QString& database, const QString& logicalName);

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
