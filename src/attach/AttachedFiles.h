#pragma once
// The files this server has attached, to mark the found files that are attached already. SQL
// Server 2000 lists them in master's sysaltfiles, 2005 and later in sys.master_files. The server
// compares paths as its platform does: case-insensitively on Windows, exactly on Linux. Korvid
// reads the platform from @@VERSION, which every release has and which ends "on Linux (...)" on
// Linux (2017 and later); every other server runs on Windows.

#include <QHash>
#include <QString>

#include "db/Connection.h"
#include "fs/PathRules.h"

namespace korvid::attach {

// The platform a server runs on, from its @@VERSION text.
fs::PathStyle serverPathStyle(const QString& versionText);

class AttachedFiles {
public:
    // The batch that asks: @@VERSION, then one row (database, path) per file of every database.
    // A server whose version is not known (0) gets 2000's table, which every release still has.
    static QString statement(int majorVersion);
    // The answer to that batch. Throws OperationError when it is not there.
    static AttachedFiles read(const db::BatchResult& batch);

    fs::PathStyle style() const { return style_; }
    // The database whose file path is, compared as the server compares; empty when none.
    QString databaseOf(const QString& path) const;

private:
    fs::PathStyle style_ = fs::PathStyle::Windows;
    QHash<QString, QString> databaseByPath_;  // by serverPathKey
};

}  // namespace korvid::attach
