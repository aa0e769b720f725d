#include "Workspace.h"

#include "attach/AttachController.h"
#include "maintenance/MaintenanceController.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

namespace korvid {

Workspace::Workspace(const ServerAccess& access, Prompts& prompts, ModalMoments& moments)
    : window_(std::make_unique<MainWindow>(access, prompts)),
      search_(new search::SearchController(window_->searchControls(), prompts, runs_, moments)),
      attach_(new attach::AttachController(window_->attachControls(), *search_, access, prompts,
                                           runs_, moments)),
      maintenance_(
          new maintenance::MaintenanceController(window_->maintenanceControls(), access, prompts)),
      prompts_(prompts) {
    // The window's boxes and popups are moments of the gate its runs hold for.
    prompts_.setModalMoments(&moments);
    // Window activation runs the search's start-up settings.
    QObject::connect(window_.get(), &MainWindow::firstActivated, search_,
                     &search::SearchController::startUp);
}

Workspace::~Workspace() {
    prompts_.setModalMoments(nullptr);
}

}  // namespace korvid
