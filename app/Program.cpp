#include "Program.h"

#include "Workspace.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"

namespace korvid {

Program::Program(Prompts& prompts)
    : prompts_(prompts), login_(std::make_unique<LoginDialog>(prompts)) {
    connect(login_.get(), &LoginDialog::loggedIn, this, &Program::openMainWindow);
}

Program::~Program() {
    // The window's controllers read the dialog's boxes: the window goes first.
    workspace_.reset();
}

void Program::start() {
    login_->show();
}

void Program::openMainWindow() {
    if (workspace_) return;
    workspace_ = std::make_unique<Workspace>(login_->serverAccess(), prompts_);
    emit mainWindowOpened(&workspace_->window());
    // Showing the window runs its load, then its first resize, then its activation.
    workspace_->window().show();
}

}  // namespace korvid
