#pragma once
#include <QString>

namespace korvid {

// The application's own name: the toolkit's application name and the default title of a box.
QString appTitle();

// The version as the login banner shows it: "V3.0".
QString versionLabel();

// The main window's caption: the name, the version and the maker's web address.
QString mainWindowCaption();

}  // namespace korvid
