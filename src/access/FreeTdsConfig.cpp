#include "access/FreeTdsConfig.h"

#include <QDir>
#include <QFile>

namespace korvid {

QStringList freeTdsServerSections(const QByteArray& confText) {
    QStringList sections;
    for (const QByteArray& raw : confText.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith('[') || !line.endsWith(']')) continue;
        const QString name = QString::fromUtf8(line.mid(1, line.size() - 2)).trimmed();
        if (!name.isEmpty() && name.compare(QLatin1String("global"), Qt::CaseInsensitive) != 0)
            sections.append(name);
    }
    return sections;
}

QString freeTdsSectionValue(const QByteArray& confText, const QString& section,
                            const QString& key) {
    bool inSection = false;
    for (const QByteArray& raw : confText.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection =
                line.mid(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inSection && equals > 0 &&
            line.left(equals).simplified().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

namespace {

// The configuration FreeTDS reads: the first of these that is there.
QByteArray freeTdsConfText(bool* found) {
    const QStringList candidates = {
        qEnvironmentVariable("FREETDSCONF"),
        QDir::homePath() + QStringLiteral("/.freetds.conf"),
        QStringLiteral("/etc/freetds/freetds.conf"),
    };
    for (const QString& path : candidates) {
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) continue;
        *found = true;
        return file.readAll();
    }
    *found = false;
    return QByteArray();
}

}  // namespace

bool isFreeTdsServerSection(const QString& name) {
    bool found = false;
    const QByteArray text = name.isEmpty() ? QByteArray() : freeTdsConfText(&found);
    return found && freeTdsServerSections(text).contains(name, Qt::CaseInsensitive);
}

QString freeTdsSectionValue(const QString& section, const QString& key) {
    bool found = false;
    return freeTdsSectionValue(freeTdsConfText(&found), section, key);
}

}  // namespace korvid
