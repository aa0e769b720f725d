#pragma once
// The pictures of the two windows, drawn in code: the login banner, the window icons and the
// mouse cursor shared by the main window's buttons and lists.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace korvid {

QPixmap loginBanner();    // 422 x 277
QIcon loginIcon();        // 32 x 32 and 16 x 16
QIcon mainIcon();         // 16 x 16
QCursor controlCursor();  // 32 x 32

}  // namespace korvid
