#pragma once
// The path rules of the search, in one place: how the search folder (spath), the rows' columns and
// the drive mark of a message are formed from the folder list and the enumerated names. Pure
// functions over strings, so both styles can be checked on any host.

#include <QString>

namespace korvid::fs {

enum class PathStyle {
    Windows,  // drive letters, "\", names compared and shown upper-cased
    Posix     // one tree under "/", "/", paths kept exactly as the file system spells them
};

// The style of the machine Korvid runs on.
PathStyle hostStyle();

QChar separator(PathStyle style);

// Folder normalisation: the folder list's path ending in the separator; upper-cased on Windows,
// kept as it is on POSIX (a changed letter or blank names another folder there).
QString normaliseFolder(const QString& folderListPath, PathStyle style);

// List1: the enumerated name with leading and trailing blanks removed, upper-cased.
QString rowFileName(const QString& enumeratedName);

// List3: the folder followed by the name. Windows takes the trimmed upper-cased name (the file
// system ignores case); POSIX keeps the enumerated name so the path names the file found.
QString rowFullPath(const QString& folder, const QString& enumeratedName, PathStyle style);

// List2: the folder without its drive (the first two characters, "D:"); POSIX has no drive part.
QString folderWithoutDrive(const QString& folder, PathStyle style);

// A pending subfolder: the folder + the subfolder's name + the separator.
QString subfolderPath(const QString& folder, const QString& name, PathStyle style);

// The drive named in the unavailable-drive message: the first character of the drive list's
// value upper-cased; on POSIX the rest of the root follows, since "/" alone names nothing.
QString driveMark(const QString& driveValue, PathStyle style);

// A path as a server of the given style compares it, for matching found files with the server's
// own file list: on Windows case does not count, "/" and "\" are one separator and trailing
// blanks go (the file system drops them); on POSIX every character counts.
QString serverPathKey(const QString& path, PathStyle style);

}  // namespace korvid::fs
