#include "KorvidSession.h"

#include <QDir>
#include <QLineEdit>

#include "attach/AttachController.h"
#include "login/ConnectionStrings.h"
#include "login/QuerySource.h"
#include "maintenance/MaintenanceController.h"
#include "search/FolderList.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"
#include "ui/Subsystems.h"

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

KorvidSession::KorvidSession() = default;

KorvidSession::~KorvidSession() {
    window_.reset();
    Messages::stopRecording();
    server_.stop();
}

bool KorvidSession::start() {
    if (!server_.start()) return false;
    Messages::startRecording();
    window_ = std::make_unique<MainWindow>(*this);
    installSubsystems(*window_);
    window_->show();
    auto* pattern = window_->findChild<QLineEdit*>(QStringLiteral("Text1"));
    if (pattern && pattern->text() != QStringLiteral("*.MDF"))
        pattern->setText(QStringLiteral("*.MDF"));
    return window_->databaseList()->rowCount() > 0;
}

search::SearchController& KorvidSession::search() {
    return *window_->findChild<search::SearchController*>();
}
attach::AttachController& KorvidSession::attach() {
    return *window_->findChild<attach::AttachController*>();
}
maintenance::MaintenanceController& KorvidSession::maintenance() {
    return *window_->findChild<maintenance::MaintenanceController*>();
}

db::Connection KorvidSession::connect(const QString& database) {
    return db::Connection::open(
        toOdbcConnectionString(connectionShapeC(database, server_.server(), server_.password())));
}

bool KorvidSession::execute(const QString& database, const QString& sql, db::BatchResult* result) {
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

std::unique_ptr<db::Connection> KorvidSession::stayInside(const QString& database) {
    try {
        return std::make_unique<db::Connection>(connect(database));
    } catch (const db::DbError& e) {
        qWarning("connecting to %s: %s", qPrintable(database), qPrintable(e.serverText()));
        return nullptr;
    }
}

QString KorvidSession::logFileOf(const QString& name, const QString& folder) const {
    return QDir(folder).filePath(name + QStringLiteral("_log.ldf"));
}

QString KorvidSession::createDatabase(const QString& name, const QString& folder, bool detach) {
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

int KorvidSession::searchFolder(const QString& folder) {
    search().folderList().setPath(QDir::cleanPath(folder));
    search().search();
    return search().table().count();
}

QStringList KorvidSession::listedDatabases() {
    QStringList names;
    for (const QStringList& row : window_->databaseList()->rows().rows)
        if (!row.isEmpty()) names << row.first();
    return names;
}

bool KorvidSession::selectDatabase(const QString& name) {
    const int row = int(listedDatabases().indexOf(name));
    if (row < 0) return false;
    window_->databaseList()->setCurrentRow(row);
    return window_->selectedDatabase() == name;
}

}  // namespace korvid::test
