#include "attach/MissingFolders.h"

#include <QFileInfo>

#include "fs/Files.h"

namespace korvid::attach {

namespace {

bool hasDrive(const QString& path) {
    return path.size() >= 3 && path.at(0).isLetter() && path.at(1) == QLatin1Char(':') &&
           (path.at(2) == QLatin1Char('\\') || path.at(2) == QLatin1Char('/'));
}

}  // namespace

bool plainFileExists(const QString& path) {
    if (path.isEmpty() || !fs::plainFileExists(path)) return false;
#ifdef Q_OS_WIN
    if (QFileInfo(path).isHidden()) return false;
#endif
    return true;
}

FolderOps systemFolderOps() {
    return {&plainFileExists, &fs::createFolder};
}

void createMissingFolders(const QString& path, const FolderOps& ops) {
    // A drive path also takes "/" as a separator; a POSIX name may hold a backslash.
    const bool drive = hasDrive(path);
    const qsizetype root = drive ? 3 : (path.startsWith(QLatin1Char('/')) ? 1 : 0);
    for (qsizetype p = root; p < path.size(); ++p) {
        const QChar c = path.at(p);
        if (c != QLatin1Char('/') && !(drive && c == QLatin1Char('\\'))) continue;
        const QString prefix = path.left(p);
        if (prefix.isEmpty() || prefix.endsWith(QLatin1Char('/')) ||
            prefix.endsWith(QLatin1Char('\\')))
            continue;
        if (!ops.plainFileExists(prefix)) ops.createFolder(prefix);
    }
}

}  // namespace korvid::attach
