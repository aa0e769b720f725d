#include "fs/Files.h"

#include "fs/FolderReader.h"

#include <QDir>
#include <QFileInfo>

#ifndef _WIN32
#include <sys/stat.h>
#include <QFile>
#endif

namespace korvid::fs {

std::optional<qint64> fileLength(const QString& path) {
#ifdef _WIN32
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    return info.size();
#else
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return qint64(st.st_size);
#endif
}

bool plainFileExists(const QString& path) {
    return fileLength(path).has_value();
}

bool createFolder(const QString& path) {
    return QDir().mkdir(path);
}

bool folderReadable(const QString& path) {
    auto reader = makeNativeEnumerator()->open(path, true);
    if (!reader) return false;
    QString name;
    EntryKind kind;
    while (reader->next(name, kind)) break;
    return !reader->failed();
}

}  // namespace korvid::fs
