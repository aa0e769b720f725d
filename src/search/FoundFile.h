#pragma once

#include <QString>
#include <QtGlobal>

namespace korvid::search {

// One row of the result table, made whole before it is appended so the five columns never
// part.
struct FoundFile {
    QString fullPath;            // List3
    QString fileName;            // List1
    QString folderWithoutDrive;  // List2
    qint64 size = 0;             // List4
    QString folder;              // List5
};

}  // namespace korvid::search
