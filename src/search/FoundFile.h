#pragma once

#include <QString>
#include <QtGlobal>

#include "fs/PathRules.h"

namespace korvid::search {

// One row of the result table, made whole before it is appended so the columns never part.
// Rows cost little: the folder's text is one string shared by every row found in that folder,
// and the other columns are worked out from it, the name and the size when they are read.
struct FoundFile {
    QString folder;   // List5, ending in the separator; shared by the folder's rows
    QString name;     // what follows the folder in List3
    qint64 size = 0;  // List4

    QString fullPath() const { return folder + name; }          // List3
    QString fileName() const { return fs::rowFileName(name); }  // List1
    QString folderWithoutDrive(fs::PathStyle style) const {     // List2
        return fs::folderWithoutDrive(folder, style);
    }
};

}  // namespace korvid::search

// Moved by its bytes, so a table of rows grows and shrinks without touching each row.
Q_DECLARE_TYPEINFO(korvid::search::FoundFile, Q_RELOCATABLE_TYPE);
