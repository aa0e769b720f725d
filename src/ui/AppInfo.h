#pragma once
#include <QString>

namespace korvid {

inline constexpr const char* kVersionLabel = "V3.0";

// The application's own name: the toolkit's application name and the default title of a box.
QString appTitle();

}  // namespace korvid
