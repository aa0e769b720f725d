#pragma once

namespace korvid {

class MainWindow;

// Gives the main window's controls the behaviour of the search, attach and maintenance
// subsystems. Called once, before the window is first shown.
void installSubsystems(MainWindow& window);

}  // namespace korvid
