#pragma once
// A Korvid main window, offscreen, against a tds-standin of its own, with the search, attach
// and maintenance controllers installed and every message box recorded.

#include <QString>
#include <QStringList>
#include <memory>

#include "StandinProcess.h"
#include "db/Connection.h"
#include "login/Credentials.h"
#include "login/Messages.h"

namespace korvid {
class MainWindow;
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

class KorvidSession : public Credentials {
public:
    KorvidSession();
    ~KorvidSession() override;

    // Starts the server and opens the main window. False when either fails.
    bool start();

    QString serverName() const override { return server_.server(); }
    QString password() const override { return server_.password(); }

    MainWindow& window() { return *window_; }
    search::SearchController& search();
    attach::AttachController& attach();
    maintenance::MaintenanceController& maintenance();
    StandinProcess& server() { return server_; }

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

    QStringList listedDatabases();
    bool selectDatabase(const QString& name);  // makes its row of the list current
    QList<MessageRecord> takeMessages() { return Messages::takeRecords(); }

private:
    StandinProcess server_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace korvid::test
