#pragma once
// The toolkit's own texts (standard buttons, context menus) in Simplified Chinese, like the
// rest of the program, whatever the system's locale.

class QCoreApplication;

namespace korvid {

// Installs the toolkit's Simplified Chinese translation on the application. False when the
// translation is not installed: the program still runs, with the toolkit's texts in English.
bool loadChineseTranslation(QCoreApplication& app);

}  // namespace korvid
