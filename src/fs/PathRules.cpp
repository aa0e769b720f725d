#include "fs/PathRules.h"

namespace korvid::fs {

PathStyle hostStyle() {
#ifdef _WIN32
    return PathStyle::Windows;
#else
    return PathStyle::Posix;
#endif
}

QChar separator(PathStyle style) {
    return style == PathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

QString normaliseFolder(const QString& folderListPath, PathStyle style) {
    QString path = folderListPath;
    if (!path.endsWith(separator(style))) path += separator(style);
    return style == PathStyle::Windows ? path.toUpper() : path;
}

QString rowFileName(const QString& enumeratedName) {
    // Only blanks are removed, as the name is shown; tabs and the like stay part of it.
    qsizetype begin = 0;
    qsizetype end = enumeratedName.size();
    while (begin < end && enumeratedName.at(begin) == QLatin1Char(' ')) ++begin;
    while (end > begin && enumeratedName.at(end - 1) == QLatin1Char(' ')) --end;
    return enumeratedName.mid(begin, end - begin).toUpper();
}

QString rowFullPath(const QString& folder, const QString& enumeratedName, PathStyle style) {
    return folder + (style == PathStyle::Windows ? rowFileName(enumeratedName) : enumeratedName);
}

QString folderWithoutDrive(const QString& folder, PathStyle style) {
    return style == PathStyle::Windows ? folder.mid(2) : folder;
}

QString subfolderPath(const QString& folder, const QString& name, PathStyle style) {
    // Made once per folder walked: one allocation.
    QString path;
    path.reserve(folder.size() + name.size() + 1);
    path.append(folder).append(name).append(separator(style));
    return path;
}

QString driveMark(const QString& driveValue, PathStyle style) {
    if (driveValue.isEmpty()) return QString();
    const QString first = driveValue.left(1).toUpper();
    return style == PathStyle::Windows ? first : first + driveValue.mid(1);
}

QString serverPathKey(const QString& path, PathStyle style) {
    if (style == PathStyle::Posix) return path;
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == QLatin1Char(' ')) --end;
    QString key = path.left(end).toUpper();
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return key;
}

}  // namespace korvid::fs
