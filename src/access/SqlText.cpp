#include "access/SqlText.h"

namespace korvid {

QString nLiteral(const QString& value) {
    QString doubled = value;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1String("N'") + doubled + QLatin1Char('\'');
}

QString bracketed(const QString& identifier) {
    QString doubled = identifier;
    doubled.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + doubled + QLatin1Char(']');
}

QString trimPadding(const QString& cell) {
    qsizetype end = cell.size();
    while (end > 0 && cell.at(end - 1) == QLatin1Char(' ')) --end;
    return cell.left(end);
}

}  // namespace korvid
