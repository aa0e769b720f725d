#include "ui/AppInfo.h"

#include "access/Prompts.h"
#include "ui/Version.h"

namespace korvid {

QString appTitle() {
    return defaultTitle();
}

QString versionLabel() {
    return QLatin1Char('V') + QString::fromLatin1(kVersion);
}

QString mainWindowCaption() {
    return appTitle() + QLatin1Char(' ') + versionLabel() +
           QStringLiteral("   -=-   https://korvid.example/");
}

}  // namespace korvid
