#include "Program.h"

#include "Workspace.h"
#include "access/FailureText.h"
#include "access/Prompts.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"
#include "ui/WindowTexts.h"

namespace korvid {

Program::Program(Prompts& prompts)
    : prompts_(prompts), login_(std::make_unique<LoginDialog>()), access_(*login_, moments_) {
    prompts_.setModalMoments(&moments_);
    connect(login_.get(), &LoginDialog::loginRequested, this, &Program::logIn);
}

Program::~Program() {
    // The window's controllers read the dialog's boxes: the window goes first.
    workspace_.reset();
    prompts_.setModalMoments(nullptr);
}

void Program::start() {
    login_->show();
}

void Program::logIn() {
    if (loggedIn_) return;  // logged in already: the dialog is hidden for good
    try {
        // A new connection and result for each attempt; kept only when the login succeeds.
        db::BatchResult probe;
        db::Connection connection = access_.login(loginProbeQuery(), &probe);
        login_->holdProbeRows(probe.resultSets.isEmpty() ? db::ResultSet()
                                                         : probe.resultSets.first());
        loginConnection_ = std::move(connection);
    } catch (const std::exception& error) {
        prompts_.message(loginFailedText(), MsgIcon::Critical,
                         QString::fromUtf16(kLoginFailedTitle), failureText(error).reason);
        return;
    }
    loggedIn_ = true;
    login_->hide();
    openMainWindow();
}

void Program::openMainWindow() {
    if (workspace_) return;
    workspace_ = std::make_unique<Workspace>(access_, prompts_, moments_);
    emit mainWindowOpened(&workspace_->window());
    // Showing the window runs its load, then its first resize, then its activation.
    workspace_->window().show();
}

}  // namespace korvid
