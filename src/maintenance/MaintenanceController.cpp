#include "maintenance/MaintenanceController.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QMenu>
#include <QMouseEvent>

#include "attach/SqlText.h"
#include "login/ConnectionStrings.h"
#include "login/Credentials.h"
#include "login/Messages.h"
#include "login/QuerySource.h"
#include "login/SqlAccess.h"
#include "ui/MainWindow.h"

namespace korvid::maintenance {

MaintenanceController::MaintenanceController(MainWindow& window)
    : QObject(&window), window_(window) {
    setObjectName(QStringLiteral("MaintenanceController"));
    menuExec_ = [](QMenu* menu, const QPoint& pos) { menu->exec(pos); };
    detach_ = action("FLSJ");
    shrinkLog_ = action("SSRZ");
    shrinkDatabase_ = action("SSSJK");
    if (detach_) connect(detach_, &QAction::triggered, this, &MaintenanceController::detach);
    if (shrinkLog_)
        connect(shrinkLog_, &QAction::triggered, this, &MaintenanceController::shrinkLog);
    if (shrinkDatabase_)
        connect(shrinkDatabase_, &QAction::triggered, this, &MaintenanceController::shrinkDatabase);

    grid_ = window.findChild<QWidget*>(QStringLiteral("DataGrid1"));
    if (grid_) {
        grid_->installEventFilter(this);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(grid_))
            area->viewport()->installEventFilter(this);
    }
}

QAction* MaintenanceController::action(const char* name) const {
    const QString wanted = QString::fromLatin1(name);
    if (QMenu* menu = window_.databaseMenu())
        for (QAction* a : menu->actions())
            if (a->objectName() == wanted) return a;
    return window_.findChild<QAction*>(wanted);
}

bool MaintenanceController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::RightButton) {
            databaseListPressed(press->button(), press->globalPosition().toPoint());
            // The menu names the row that was current; the press must not move it afterwards.
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MaintenanceController::databaseListPressed(Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton) return;
    const QString name = window_.selectedDatabase();
    const bool enabled = !name.isEmpty();
    for (QAction* a : {detach_, shrinkLog_, shrinkDatabase_})
        if (a) a->setEnabled(enabled);
    if (detach_) detach_->setText(detachCaption(name));
    if (shrinkLog_) shrinkLog_->setText(shrinkLogCaption(name));
    if (shrinkDatabase_) shrinkDatabase_->setText(shrinkDatabaseCaption(name));
    if (QMenu* menu = window_.databaseMenu()) menuExec_(menu, globalPos);
}

void MaintenanceController::detach() {
    const QString name = window_.selectedDatabase();
    if (name.isEmpty()) return;
    const Credentials& login = window_.credentials();
    try {
        // Catalog master, so that the connection is not itself inside the database.
        executeStatement(connectionShapeB(login.serverName(), login.password()),
                         detachStatement(name));
    } catch (const std::exception& e) {
        Messages::showFailure(e);
        return;
    }
    Messages::show(detachDoneText(name), MsgIcon::Information, QString::fromUtf16(kDoneTitle));
    try {
        window_.databaseList()->refresh();
    } catch (const std::exception& e) {
        Messages::showFailure(e);
    }
}

void MaintenanceController::shrinkLog() {
    shrink(ShrinkKind::Log);
}
void MaintenanceController::shrinkDatabase() {
    shrink(ShrinkKind::Database);
}

void MaintenanceController::shrink(ShrinkKind kind) {
    const QString name = window_.selectedDatabase();
    if (name.isEmpty()) {
        Messages::show(noDatabaseSelectedText(), MsgIcon::Critical,
                       QString::fromUtf16(kNoSelectionTitle));
        return;
    }
    const Credentials& login = window_.credentials();
    QString& box = kind == ShrinkKind::Log ? text9_ : text10_;
    try {
        // The lookup's connection is closed before the statement's opens.
        const db::ResultSet files = queryResultSet(
            connectionShapeC(name, login.serverName(), login.password()), logicalNameQuery(kind));
        if (files.rows.isEmpty() || files.rows.first().isEmpty()) {
            Messages::show(noFileToShrinkText(name), MsgIcon::Critical);
            return;
        }
        box = attach::trimPadding(files.rows.first().first());
        executeStatement(connectionShapeC(name, login.serverName(), login.password()),
                         shrinkBatch(name, box));
    } catch (const std::exception& e) {
        Messages::showFailure(e);
        return;
    }
    Messages::show(shrinkDoneText(kind), MsgIcon::Information, QString::fromUtf16(kDoneTitle));
}

}  // namespace korvid::maintenance
