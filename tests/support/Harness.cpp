#include "Harness.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "Program.h"
#include "Workspace.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "attach/AttachController.h"
#include "search/FolderList.h"
#include "search/SearchController.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"
#include "ui/ProgramEnd.h"

namespace korvid::test {

namespace {
// The test quotes on its own, so that a fault in Korvid's quoting cannot hide behind it.
QString literal(QString v) {
    return QStringLiteral("N'") + v.replace("'", "''") + "'";
}
QString identifier(QString v) {
    return QStringLiteral("[") + v.replace("]", "]]") + "]";
}
}  // namespace

void choose(QAction* item) {
    item->setEnabled(true);
    item->trigger();
}

Harness::Harness(QString saPassword)
    : server_(std::move(saPassword)), ends_(std::make_shared<int>(0)) {
    std::shared_ptr<int> ends = ends_;
    setProgramEndHandler([ends] { ++*ends; });
}

Harness::~Harness() {
    // The server goes first: a statement it never answered ends, and the workers waiting on it
    // are free to go with the server access.
    proxy_.reset();
    server_.stop();
    workspace_.reset();
    program_.reset();  // the dialog closes the main window with it
    access_.reset();
    setProgramEndHandler(nullptr);
}

bool Harness::startServer(int timeoutMs) {
    return server_.start(timeoutMs);
}

MainWindow* Harness::login(const QString& password) {
    return loginAs(server_.server(), password.isNull() ? server_.password() : password);
}

MainWindow* Harness::loginAs(const QString& serverName, const QString& password) {
    if (!program_) {
        program_ = std::make_unique<Program>(prompts_);
        program_->start();
        if (!QTest::qWaitForWindowExposed(&program_->loginDialog(), 5000)) return nullptr;
    }
    const LoginControls controls = program_->loginDialog().controls();
    controls.serverBox->setText(serverName);
    controls.passwordBox->setText(password);
    QTest::mouseClick(controls.loginButton, Qt::LeftButton);
    if (!program_->workspace()) return nullptr;
    MainWindow* w = &program_->workspace()->window();
    if (!QTest::qWaitForWindowExposed(w, 5000)) qWarning("the main window was never shown");
    QTest::qWait(10);  // the activation runs right after the first show
    return w;
}

LoginDialog* Harness::dialog() const {
    return program_ ? &program_->loginDialog() : nullptr;
}

bool Harness::start(bool throughProxy) {
    if (!server_.start()) return false;
    if (throughProxy) {
        proxy_ = std::make_unique<TcpProxy>(server_.port());
        if (!proxy_->start()) return false;
    }
    access_ = std::make_unique<ServerAccess>(*this, moments_);
    workspace_ = std::make_unique<Workspace>(*access_, prompts_, moments_);
    window().show();
    QLineEdit* pattern = window().searchControls().patternBox;
    if (pattern->text() != QStringLiteral("*.MDF")) pattern->setText(QStringLiteral("*.MDF"));
    return window().databaseList()->rowCount() > 0;
}

ServerAccess& Harness::serverAccess() {
    return access_ ? *access_ : program_->serverAccess();
}

Workspace& Harness::workspace() const {
    return workspace_ ? *workspace_ : *program_->workspace();
}
MainWindow& Harness::window() const {
    return workspace().window();
}
search::SearchController& Harness::search() const {
    return workspace().search();
}
attach::AttachController& Harness::attach() const {
    return workspace().attach();
}
maintenance::MaintenanceController& Harness::maintenance() const {
    return workspace().maintenance();
}

db::Connection Harness::connect(const QString& database) {
    return db::Connection::open(
        ConnectionShape::database(database).odbcText(server_.server(), server_.password()));
}
bool Harness::execute(const QString& database, const QString& sql, db::BatchResult* result) {
    try {
        db::Connection c = connect(database);
        db::BatchResult r = c.execute(sql);
        if (result) *result = std::move(r);
        return true;
    } catch (const db::DbError& e) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(e.serverText()));
        return false;
    }
}

std::unique_ptr<db::Connection> Harness::stayInside(const QString& database) {
    try {
        return std::make_unique<db::Connection>(connect(database));
    } catch (const db::DbError& e) {
        qWarning("connecting to %s: %s", qPrintable(database), qPrintable(e.serverText()));
        return nullptr;
    }
}

QString Harness::logFileOf(const QString& name, const QString& folder) const {
    return QDir(folder).filePath(name + QStringLiteral("_log.ldf"));
}

QString Harness::createDatabase(const QString& name, const QString& folder, bool detach) {
    QDir().mkpath(folder);
    const QString data = QDir(folder).filePath(name + QStringLiteral(".mdf"));
    try {
        db::Connection master = connect();
        master.execute(QStringLiteral("CREATE DATABASE %1 ON (NAME=%2, FILENAME=%3, SIZE=1MB) "
                                      "LOG ON (NAME=%4, FILENAME=%5, SIZE=1MB)")
                           .arg(identifier(name), literal(name), literal(data),
                                literal(name + QStringLiteral("_log")),
                                literal(logFileOf(name, folder))));
        if (detach) master.execute(QStringLiteral("EXEC sp_detach_db ") + literal(name));
    } catch (const db::DbError& e) {
        qWarning("creating %s: %s", qPrintable(name), qPrintable(e.serverText()));
        return QString();
    }
    return data;
}

int Harness::searchFolder(const QString& folder) {
    search().folderList().setPath(QDir::cleanPath(folder));
    QSignalSpy finished(&search(), &search::SearchController::searchFinished);
    search().search();
    if (search().isSearching() && !finished.wait(60000)) qWarning("the search did not end");
    return search().table().count();
}

attach::AutoAttachRun::Outcome Harness::runAutoAttach() {
    QSignalSpy done(&attach(), &attach::AttachController::runFinished);
    window().attachControls().autoAttachButton->click();
    if (done.isEmpty() && !done.wait(120000))
        return attach::AutoAttachRun::Outcome::PreparationFailed;
    return done.first().first().value<attach::AutoAttachRun::Outcome>();
}

bool Harness::autoAttachAll() {
    search().table().select(0);
    return runAutoAttach() == attach::AutoAttachRun::Outcome::Completed;
}

QStringList Harness::listedDatabases() {
    QStringList names;
    for (const QStringList& row : window().databaseList()->rows().rows)
        if (!row.isEmpty()) names << row.first();
    return names;
}

bool Harness::selectDatabase(const QString& name) {
    const int row = int(listedDatabases().indexOf(name));
    if (row < 0) return false;
    window().databaseList()->setCurrentRow(row);
    return window().selectedDatabase() == name;
}

}  // namespace korvid::test
