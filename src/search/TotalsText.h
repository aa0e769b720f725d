#pragma once

#include <QString>
#include <QtGlobal>

namespace korvid::search {

// The text Label3 shows after a search or an auto-attach run: the row count and the total size
// in Kb up to 1,048,576 bytes, in Mb above, with two decimals truncated (one when the fraction
// has one, none when it is zero; the point always written).
QString totalsText(int rowCount, qint64 totalSize);

}  // namespace korvid::search
