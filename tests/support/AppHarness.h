#pragma once
// Runs Korvid against tds-standin for a test: starts the server, logs in through the real
// login dialog (offscreen) and hands over the main window, with every message box recorded
// and the program's end counted instead of performed.

#include <QList>
#include <QString>
#include <memory>

#include "StandinProcess.h"
#include "login/Messages.h"

namespace korvid {
class LoginDialog;
class MainWindow;
}  // namespace korvid

namespace korvid::test {

class AppHarness {
public:
    explicit AppHarness(QString saPassword = QStringLiteral("pw"));
    ~AppHarness();
    AppHarness(const AppHarness&) = delete;
    AppHarness& operator=(const AppHarness&) = delete;

    bool startServer(int timeoutMs = 15000);
    StandinProcess& server() { return server_; }

    // Types the server's address and the given password (the server's own when null) into the
    // dialog and presses 确定. Returns the main window (subsystems installed, shown), or nullptr
    // when the login was refused; the dialog stays available either way.
    MainWindow* login(const QString& password = QString());
    // Same with any server name typed into fwq.
    MainWindow* loginAs(const QString& serverName, const QString& password);

    LoginDialog* dialog() const { return dialog_.get(); }
    MainWindow* window() const;

    // The message boxes shown since the last call.
    QList<MessageRecord> takeMessages();
    // How often the program would have ended.
    int programEnds() const { return *ends_; }

private:
    StandinProcess server_;
    std::unique_ptr<LoginDialog> dialog_;
    std::shared_ptr<int> ends_;
};

}  // namespace korvid::test
