#pragma once
// One run of Korvid: the login dialog, and once it says the login succeeded, the main window
// with its subsystems. The login dialog stays alive, hidden, for the whole run: its two boxes are
// the credentials every connection reads.

#include <QObject>
#include <memory>

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

    LoginDialog& loginDialog() const { return *login_; }
    // The main window and its subsystems; nullptr until the login succeeded.
    Workspace* workspace() const { return workspace_.get(); }

signals:
    // The main window is open: boxes now belong to it.
    void mainWindowOpened(korvid::MainWindow* window);

private:
    void openMainWindow();

    Prompts& prompts_;
    std::unique_ptr<LoginDialog> login_;
    std::unique_ptr<Workspace> workspace_;
};

}  // namespace korvid
