#pragma once
// The roots the drive list offers: the drive letters on Windows; on POSIX "/" and the other
// mounted file systems a user would search (not /proc, /sys, /dev and the like).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "fs/PathRules.h"

namespace korvid::fs {

struct Root {
    QString path;   // the folder to open, ending in the separator ("C:\", "/", "/mnt/data/")
    QString label;  // what the drive list shows
};

QList<Root> driveRoots();

// The mount points of a /proc/self/mounts text worth offering, "/" first, then in name order.
// Each ends in "/".
QStringList parseMountRoots(const QByteArray& mountsText);

// The root among roots that holds path: the longest root that is a prefix of it (letter case
// ignored on Windows); empty when none does.
QString rootOf(const QString& path, const QStringList& roots, PathStyle style);

}  // namespace korvid::fs
