#pragma once
// Single-file look-ups of the file system: a file's length, whether a plain file is there, and
// making a folder.

#include <QString>
#include <QtGlobal>
#include <optional>

namespace korvid::fs {

// The length in bytes of the plain file at path (through a link: its target); empty when there
// is none or it cannot be read.
std::optional<qint64> fileLength(const QString& path);

// True when path names a plain file (or a link to one); a folder does not count.
bool plainFileExists(const QString& path);

// Makes the folder path (its parent must exist). False when it cannot be made or is there already.
bool createFolder(const QString& path);

// True when path is a folder whose entries can be read; used to tell a drive that is not ready.
bool folderReadable(const QString& path);

}  // namespace korvid::fs
