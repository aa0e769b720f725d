#pragma once
// The statement texts and the user-facing texts of the attach operations.

#include <QString>
#include <QStringList>

namespace korvid::attach {

// "dbcc checkprimaryfile (N'path',option) ": option 2 gives the database name, 3 the files.
QString checkPrimaryFileStatement(const QString& path, int option);

// sp_attach_db with the data file first and the log file second.
QString attachWithLogStatement(const QString& database, const QString& dataPath,
                               const QString& logPath);

// The same followed by the database's further files (secondary data files, further logs);
// with none, the two-file statement above.
QString attachWithLogStatement(const QString& database, const QString& dataPath,
                               const QString& logPath, const QStringList& furtherPaths);

// sp_attach_single_file_db: the server builds a new log beside the data file.
QString attachSingleFileStatement(const QString& database, const QString& dataPath);

// "正在附加：［i/n］－name", i counted from 1.
QString progressText(int selectedIndex, int rowCount, const QString& database);

// Messages of the single attaches and of auto attach (a leading CR where the run has one).
QString singleFileDoneText(const QString& database);
QString noDataFilePathText();
QString nothingToAttachText();
QString invalidTargetText();
QString targetNotWritableText();
QString cannotAttachText(const QString& path);
QString allAttachedText();
// Lines the auto attach's failure details add to the server's reason.
QString furtherFileMissingText(const QString& logicalName, const QString& lookedAt,
                               const QString& recordedPath);
QString furtherFileNotNamedText(const QString& logicalName, const QString& recordedPath);
QString upgradeElsewhereText();

extern const char16_t* const kSingleFileDoneTitle;  // "提示："
extern const char16_t* const kNoDataFilePathTitle;  // "错误："
extern const char16_t* const kAllAttachedTitle;     // "附加完成"

}  // namespace korvid::attach
