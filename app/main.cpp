#include <QApplication>

#include "login/LoginDialog.h"
#include "ui/AppInfo.h"
#include "ui/Fonts.h"

int main(int argc, char** argv) {
    // Korvid reads no command line: the toolkit is given the program's name and nothing else,
    // so no argument can change how the windows appear or behave.
    char fallbackName[] = "korvid";
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    int qtArgc = 1;
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(korvid::appTitle());
    QApplication::setFont(korvid::songti(9));
    // The login dialog is the only window at start; it opens the main window itself.
    korvid::LoginDialog login;
    login.show();
    return app.exec();
}
