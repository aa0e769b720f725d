#include "search/TotalsText.h"

namespace korvid::search {

QString totalsText(int rowCount, qint64 totalSize) {
    const qint64 unit = totalSize <= 1048576 ? 1024 : 1048576;
    const QString unitText = totalSize <= 1048576 ? QStringLiteral(" Kb") : QStringLiteral(" Mb");
    const qint64 whole = totalSize / unit;
    // The fraction is rest / unit with unit a power of two, so its decimals are worked out
    // exactly from the rest; a double of the whole total would lose them above 2^53 bytes.
    const qint64 rest = totalSize % unit;
    QString decimals;
    if (rest != 0) {
        if ((rest * 10) % unit == 0)
            decimals = QString::number(rest * 10 / unit);
        else
            decimals = QString::number(rest * 100 / unit).rightJustified(2, QLatin1Char('0'));
    }
    return QStringLiteral("搜索结果列表：") + QString::number(rowCount) +
           QStringLiteral(" 个文件，占用磁盘空间：") + QString::number(whole) + QLatin1Char('.') +
           decimals + unitText;
}

}  // namespace korvid::search
