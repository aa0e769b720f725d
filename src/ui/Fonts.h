#pragma once
#include <QFont>

namespace korvid {

// 宋体 at the given size, with CJK fallbacks so Chinese renders where 宋体 is missing.
QFont songti(double pointSize);

}  // namespace korvid
