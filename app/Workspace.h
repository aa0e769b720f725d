#pragma once
// The main window with its subsystems: the search, attach and maintenance controllers, each
// handed its controls and what of the server access, the prompts, the modal-moment gate and the
// long-run guard it uses.

#include <memory>

#include "access/LongRuns.h"

namespace korvid {

class MainWindow;
class ModalMoments;
class Prompts;
class ServerAccess;
namespace search {
class SearchController;
}
namespace attach {
class AttachController;
}
namespace maintenance {
class MaintenanceController;
}

class Workspace {
public:
    // Builds the window and wires the subsystems to it; the window is not shown yet.
    Workspace(const ServerAccess& access, Prompts& prompts, ModalMoments& moments);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    MainWindow& window() const { return *window_; }
    search::SearchController& search() const { return *search_; }
    attach::AttachController& attach() const { return *attach_; }
    maintenance::MaintenanceController& maintenance() const { return *maintenance_; }
    LongRuns& longRuns() { return runs_; }

private:
    LongRuns runs_;
    std::unique_ptr<MainWindow> window_;
    // Children of the window's controls: they go with the window.
    search::SearchController* search_;
    attach::AttachController* attach_;
    maintenance::MaintenanceController* maintenance_;
    Prompts& prompts_;
};

}  // namespace korvid
