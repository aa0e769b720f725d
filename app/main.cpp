#include <QApplication>

#include "login/LoginDialog.h"
#include "ui/AppInfo.h"
#include "ui/Fonts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(korvid::appTitle());
    QApplication::setFont(korvid::songti(9));
    // The login dialog is the only window at start; it opens the main window itself.
    korvid::LoginDialog login;
    login.show();
    return app.exec();
}
