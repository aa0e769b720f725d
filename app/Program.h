#pragma once
// One run of Korvid: the login dialog, and once the login succeeded, the main window with its
// subsystems. The program owns what the whole run shares: the modal-moment gate and the server
// access, which reads the login dialog's two boxes at every connection. The login dialog stays
// alive, hidden, for the whole run.

#include <QObject>
#include <memory>

#include "access/ModalMoments.h"
#include "access/ServerAccess.h"
#include "db/Connection.h"

namespace korvid {

class LoginDialog;
class MainWindow;
class Prompts;
class Workspace;

class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(Prompts& prompts);
    ~Program() override;

    // Shows the login dialog, the only window at start.
    void start();

    // The login, as the dialog asks for it: connects with shape A and runs the probe; a refusal
    // says so and leaves the dialog as it was, a success hides it and opens the main window.
    void logIn();

    LoginDialog& loginDialog() const { return *login_; }
    ServerAccess& serverAccess() { return access_; }
    bool isLoggedIn() const { return loggedIn_; }
    // The login's own connection, kept open for the run once the login succeeded.
    const db::Connection& loginConnection() const { return loginConnection_; }
    // The main window and its subsystems; nullptr until the login succeeded.
    Workspace* workspace() const { return workspace_.get(); }

signals:
    // The main window is open: boxes now belong to it.
    void mainWindowOpened(korvid::MainWindow* window);

private:
    void openMainWindow();

    Prompts& prompts_;
    ModalMoments moments_;
    std::unique_ptr<LoginDialog> login_;
    ServerAccess access_;
    db::Connection loginConnection_;
    bool loggedIn_ = false;
    std::unique_ptr<Workspace> workspace_;
};

}  // namespace korvid
