#include "ui/AppInfo.h"

#include "access/Prompts.h"

namespace korvid {

QString appTitle() {
    return defaultTitle();
}

}  // namespace korvid
