// The controller as the main window installs it: the window's long-run guard, its attach popup
// menu and its message boxes.

#include "login/Messages.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"

namespace korvid::search {

namespace {

SearchHooks windowHooks(MainWindow& window) {
    SearchHooks hooks;
    hooks.beginLongRun = [&window] { return window.beginLongRun(); };
    hooks.endLongRun = [&window] { window.endLongRun(); };
    hooks.showError = [](const QString& text) { Messages::show(text, MsgIcon::Critical); };
    return hooks;
}

}  // namespace

SearchController::SearchController(MainWindow& window)
    : SearchController(window, window.fileMenu(), windowHooks(window)) {
    connect(&window, &MainWindow::firstActivated, this, &SearchController::startUp);
}

}  // namespace korvid::search
