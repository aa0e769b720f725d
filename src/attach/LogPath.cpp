#include "attach/LogPath.h"

namespace korvid::attach {

namespace {

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

qsizetype lastSeparator(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (isSeparator(path.at(i))) return i;
    return -1;
}

// Paths recorded by a Windows server compare without regard to case.
bool isWindowsStyle(const QString& path) {
    const bool drive = path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter();
    return drive || path.contains(QLatin1Char('\\'));
}

QString withSlashes(QString path) {
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QChar nativeSeparator() {
#ifdef Q_OS_WIN
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}

}  // namespace

std::optional<LogPathDerivation> deriveLogPath(const QString& recordedData,
                                               const QString& recordedLog,
                                               const QString& foundFolder) {
    LogPathDerivation d;
    const QString recordedFolder = recordedData.left(lastSeparator(recordedData) + 1);
    d.recordedFolderLength = int(recordedFolder.size());
    d.recordedLogPath = recordedLog;
    d.recordedLogLength = int(recordedLog.size());

    const Qt::CaseSensitivity cs =
        isWindowsStyle(recordedData) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    QString tail;
    if (!recordedFolder.isEmpty() && recordedLog.size() > recordedFolder.size() &&
        withSlashes(recordedLog).startsWith(withSlashes(recordedFolder), cs)) {
        tail = recordedLog.mid(recordedFolder.size());
    } else {
        tail = recordedLog.mid(lastSeparator(recordedLog) + 1);
    }
    if (tail.isEmpty() || isSeparator(tail.back())) return std::nullopt;

    QChar sep = nativeSeparator();
    if (!foundFolder.isEmpty() && isSeparator(foundFolder.back())) sep = foundFolder.back();
    for (QChar& c : tail)
        if (isSeparator(c)) c = sep;
    d.logPath = foundFolder;
    if (d.logPath.isEmpty() || !isSeparator(d.logPath.back())) d.logPath += sep;
    d.logPath += tail;
    return d;
}

}  // namespace korvid::attach
