// A Korvid window whose detach the server swallows: it prints "painting N" while it waits, then
// "closing" and closes the window, which must end the program at once.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "Harness.h"
#include "maintenance/MaintenanceController.h"
#include "ui/MainWindow.h"
#include "ui/ProgramEnd.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    korvid::test::Harness harness;
    if (!harness.start(true)) return 2;
    korvid::setProgramEndHandler(nullptr);  // the real end: the process goes
    harness.proxy().setSpared(2);
    harness.proxy().setSwallow(true);
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++turns % 10 == 0) std::printf("painting %d\n", turns);
        if (turns == 30) {
            std::printf("closing\n");
            std::fflush(stdout);
            harness.window().close();
        }
        harness.window().repaint();
    });
    ticker.start(20);
    harness.selectDatabase(QStringLiteral("model"));
    harness.maintenance().detach();  // never answered: only the close ends this
    std::printf("the detach returned\n");
    return 3;
}
