#pragma once
#include <QString>

namespace korvid {

// The application's own name, shown as the default title of every message box.
inline constexpr const char* kAppTitle = "Korvid";
inline constexpr const char* kVersionLabel = "V3.0";

QString appTitle();

}  // namespace korvid
