#pragma once
// Korvid against a tds-standin of the test's own, offscreen, with every box recorded and the
// program's end counted instead of performed. Two roads to the main window: through the real
// login dialog (login), or built at once with the server's credentials (start).

#include <QString>
#include <QStringList>
#include <memory>

#include "RecordingPrompts.h"
#include "StandinProcess.h"
#include "TcpProxy.h"
#include "access/Credentials.h"
#include "access/ModalMoments.h"
#include "attach/AutoAttachRun.h"
#include "db/Connection.h"

class QAction;

namespace korvid {
class LoginDialog;
class MainWindow;
class Program;
class ServerAccess;
class Workspace;
namespace search {
class SearchController;
}
namespace attach {
class AttachController;
}
namespace maintenance {
class MaintenanceController;
}
}  // namespace korvid

namespace korvid::test {

// Chooses a popup's item, as the person would while its menu shows it enabled.
void choose(QAction* item);

class Harness : public Credentials {
public:
    explicit Harness(QString saPassword = QStringLiteral("pw"));
    ~Harness() override;
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    StandinProcess& server() { return server_; }
    bool startServer(int timeoutMs = 15000);

    // The login road: types the server's address and the given password (the server's own when
    // null) into the dialog and presses 确定. Returns the main window, shown, or nullptr when the
    // login was refused; the dialog stays available either way.
    MainWindow* login(const QString& password = QString());
    MainWindow* loginAs(const QString& serverName, const QString& password);
    LoginDialog* dialog() const;
    Program* program() const { return program_.get(); }

    // The direct road: starts the server and opens the main window with its credentials, the
    // pattern set to "*.MDF". False when either fails or the list stays empty. Through a proxy,
    // the window reaches the server by way of a TcpProxy the test can slow down or silence.
    bool start(bool throughProxy = false);
    TcpProxy& proxy() { return *proxy_; }
    ServerAccess& serverAccess();

    // The credentials of the direct road.
    QString serverName() const override { return proxy_ ? proxy_->server() : server_.server(); }
    QString password() const override { return server_.password(); }

    Workspace& workspace() const;
    MainWindow& window() const;
    search::SearchController& search() const;
    attach::AttachController& attach() const;
    maintenance::MaintenanceController& maintenance() const;

    RecordingPrompts& prompts() { return prompts_; }
    QList<MessageRecord> takeMessages() { return prompts_.takeMessages(); }
    // How often the program would have ended.
    int programEnds() const { return *ends_; }

    // A connection of the test's own, in master or in the given database. Throws db::DbError.
    db::Connection connect(const QString& database = QStringLiteral("master"));
    // Runs sql on a connection of its own; false (with a warning) when the server refuses.
    bool execute(const QString& database, const QString& sql, db::BatchResult* result = nullptr);
    // Opens a connection that stays inside database until the returned object goes.
    std::unique_ptr<db::Connection> stayInside(const QString& database);

    // Creates the database with a data file and a log file in folder (made if missing), then
    // detaches it when asked, so that its files are there to be found. Returns the data file.
    QString createDatabase(const QString& name, const QString& folder, bool detach = true);
    QString logFileOf(const QString& name, const QString& folder) const;

    // The search over folder for "*.MDF", through the window's own search.
    int searchFolder(const QString& folder);
    // Presses 自动附加 and waits for the run's end (PreparationFailed when it never ends).
    attach::AutoAttachRun::Outcome runAutoAttach();
    // Selects the first row and runs auto attach: true when it completed.
    bool autoAttachAll();

    QStringList listedDatabases();
    bool selectDatabase(const QString& name);  // makes its row of the list current

private:
    StandinProcess server_;
    RecordingPrompts prompts_;
    std::shared_ptr<int> ends_;
    std::unique_ptr<TcpProxy> proxy_;
    ModalMoments moments_;                  // the direct road's
    std::unique_ptr<ServerAccess> access_;  // the direct road's
    std::unique_ptr<Workspace> workspace_;  // the direct road's
    std::unique_ptr<Program> program_;      // the login road's
};

}  // namespace korvid::test
