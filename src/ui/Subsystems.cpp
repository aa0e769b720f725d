#include "ui/Subsystems.h"

#include "search/SearchController.h"
#include "ui/MainWindow.h"

namespace korvid {

void installSubsystems(MainWindow& window) {
    // Children of the window: they live as long as it and find their controls by name.
    new search::SearchController(window);
}

}  // namespace korvid
