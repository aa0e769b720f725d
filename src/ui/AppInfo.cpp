#include "ui/AppInfo.h"

namespace korvid {

QString appTitle() {
    return QString::fromUtf8(kAppTitle);
}

}  // namespace korvid
