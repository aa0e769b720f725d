#include "ui/Subsystems.h"

#include "ui/MainWindow.h"

namespace korvid {

void installSubsystems(MainWindow& window) {
    (void)window;
}

}  // namespace korvid
