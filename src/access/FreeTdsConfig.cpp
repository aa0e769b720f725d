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

bool isFreeTdsServerSection(const QString& name) {
    if (name.isEmpty()) return false;
    // FreeTDS reads the first of these that is there.
    const QStringList candidates = {
        qEnvironmentVariable("FREETDSCONF"),
        QDir::homePath() + QStringLiteral("/.freetds.conf"),
        QStringLiteral("/etc/freetds/freetds.conf"),
    };
    for (const QString& path : candidates) {
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) continue;
        return freeTdsServerSections(file.readAll()).contains(name, Qt::CaseInsensitive);
    }
    return false;
}

}  // namespace korvid
