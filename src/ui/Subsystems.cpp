#include "ui/Subsystems.h"

#include "attach/AttachController.h"
#include "maintenance/MaintenanceController.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

namespace korvid {

void installSubsystems(MainWindow& window) {
    // Children of the window: they live as long as it and find their controls by name.
    new search::SearchController(window);
    new attach::AttachController(window);
    new maintenance::MaintenanceController(window);
}

}  // namespace korvid
