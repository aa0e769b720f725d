#include <QApplication>

#include "Program.h"
#include "ui/AppInfo.h"
#include "ui/Fonts.h"
#include "ui/MainWindow.h"
#include "ui/Translation.h"
#include "ui/WindowPrompts.h"

int main(int argc, char** argv) {
    // Korvid reads no command line: the toolkit is given the program's name and nothing else,
    // so no argument can change how the windows appear or behave.
    char fallbackName[] = "korvid";
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    int qtArgc = 1;
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(korvid::appTitle());
    QApplication::setFont(korvid::songti(9));
    // Without the installed translation the toolkit's own buttons and menus stay English; the
    // program works the same, so a missing file is no reason to stop.
    korvid::loadChineseTranslation(app);

    korvid::WindowPrompts prompts;
    korvid::Program program(prompts);
    QObject::connect(&program, &korvid::Program::mainWindowOpened,
                     [&prompts](korvid::MainWindow* window) { prompts.setParentWidget(window); });
    program.start();
    return app.exec();
}
