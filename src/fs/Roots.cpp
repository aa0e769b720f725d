#include "fs/Roots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace korvid::fs {

namespace {

// /proc/self/mounts writes blanks, tabs, newlines and backslashes of a path as octal escapes.
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int code = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

bool isPseudoType(const QByteArray& type) {
    static const QSet<QByteArray> pseudo = {
        "proc",    "sysfs",    "devtmpfs",   "devpts",      "cgroup", "cgroup2",
        "debugfs", "tracefs",  "securityfs", "pstore",      "bpf",    "configfs",
        "fusectl", "mqueue",   "hugetlbfs",  "binfmt_misc", "autofs", "rpc_pipefs",
        "nsfs",    "efivarfs", "selinuxfs",  "ramfs",       "tmpfs",  "squashfs"};
    return pseudo.contains(type);
}

bool isSystemPlace(const QString& mountPoint) {
    static const char* const places[] = {"/proc", "/sys", "/dev", "/run", "/boot/efi", "/snap"};
    for (const char* place : places) {
        const QString p = QLatin1String(place);
        if (mountPoint == p || mountPoint.startsWith(p + QLatin1Char('/'))) {
            // Removable media are mounted under /run/media.
            if (mountPoint.startsWith(QLatin1String("/run/media/"))) return false;
            return true;
        }
    }
    return false;
}

}  // namespace

QStringList parseMountRoots(const QByteArray& mountsText) {
    QStringList others;
    for (const QByteArray& line : mountsText.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) continue;
        const QString mountPoint = unescapeMountField(fields[1]);
        if (!mountPoint.startsWith(QLatin1Char('/')) || mountPoint == QLatin1String("/")) continue;
        if (isPseudoType(fields[2]) || isSystemPlace(mountPoint)) continue;
        const QString root = mountPoint + QLatin1Char('/');
        if (!others.contains(root)) others.append(root);
    }
    std::sort(others.begin(), others.end());
    others.prepend(QStringLiteral("/"));
    return others;
}

QString rootOf(const QString& path, const QStringList& roots, PathStyle style) {
    const Qt::CaseSensitivity cs =
        style == PathStyle::Windows ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString withSep = path.endsWith(separator(style)) ? path : path + separator(style);
    QString best;
    for (const QString& root : roots)
        if (withSep.startsWith(root, cs) && root.size() > best.size()) best = root;
    return best;
}

QList<Root> driveRoots() {
    QList<Root> roots;
#ifdef _WIN32
    for (const QFileInfo& drive : QDir::drives()) {
        const QString path = QDir::toNativeSeparators(drive.absoluteFilePath());
        const QString letter = path.left(2).toLower();
        const QString name = QStorageInfo(path).name();
        roots.append({path, name.isEmpty()
                                ? letter
                                : letter + QStringLiteral(" [") + name + QLatin1Char(']')});
    }
#else
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    QStringList paths;
    if (mounts.open(QIODevice::ReadOnly)) {
        // /proc files report no size: read them to the end.
        paths = parseMountRoots(mounts.readAll());
    } else {
        paths.append(QStringLiteral("/"));
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
            const QString root = volume.rootPath() + QLatin1Char('/');
            if (volume.isValid() && root != QLatin1String("//") && !paths.contains(root) &&
                !isPseudoType(volume.fileSystemType()) && !isSystemPlace(volume.rootPath()))
                paths.append(root);
        }
    }
    for (const QString& path : paths) {
        // Bind mounts of single files (a container's /etc/hosts) are no place to search.
        if (path != QLatin1String("/") && !QFileInfo(path).isDir()) continue;
        roots.append({path, path});
    }
#endif
    return roots;
}

}  // namespace korvid::fs
