#include "maintenance/MaintenanceController.h"

#include <QAbstractItemView>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

#include "access/Prompts.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "access/SqlText.h"
#include "maintenance/ShrinkOutcome.h"

namespace korvid::maintenance {

MaintenanceController::MaintenanceController(const MaintenanceControls& controls,
                                             const ServerAccess& access, Prompts& prompts)
    : QObject(controls.databaseGrid), c_(controls), access_(access), prompts_(prompts) {
    setObjectName(QStringLiteral("MaintenanceController"));
    connect(c_.detachAction, &QAction::triggered, this, &MaintenanceController::detach);
    connect(c_.shrinkLogAction, &QAction::triggered, this, &MaintenanceController::shrinkLog);
    connect(c_.shrinkDatabaseAction, &QAction::triggered, this,
            &MaintenanceController::shrinkDatabase);
    c_.databaseGrid->installEventFilter(this);
    c_.databaseGrid->viewport()->installEventFilter(this);
}

QString MaintenanceController::selectedDatabase() const {
    // An item chosen from the popup acts on the database its caption named.
    return chosen_ ? *chosen_ : c_.selectedDatabaseBox->text();
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
    const QString name = selectedDatabase();
    const bool enabled = !name.isEmpty();
    for (QAction* a : {c_.detachAction, c_.shrinkLogAction, c_.shrinkDatabaseAction})
        a->setEnabled(enabled);
    c_.detachAction->setText(detachCaption(name));
    c_.shrinkLogAction->setText(shrinkLogCaption(name));
    c_.shrinkDatabaseAction->setText(shrinkDatabaseCaption(name));
    chosen_ = name;
    prompts_.popup(*c_.databaseMenu, globalPos);
    chosen_.reset();
}

void MaintenanceController::detach() {
    const QString name = selectedDatabase();
    if (name.isEmpty()) return;
    try {
        // Catalog master, so that the connection is not itself inside the database.
        access_.execute(ConnectionShape::server(), detachStatement(name));
    } catch (const std::exception& e) {
        prompts_.failure(e);
        return;
    }
    prompts_.message(detachDoneText(name), MsgIcon::Information, QString::fromUtf16(kDoneTitle));
    try {
        c_.databaseList->refresh();
    } catch (const std::exception& e) {
        prompts_.failure(e);
    }
}

void MaintenanceController::shrinkLog() {
    shrink(ShrinkKind::Log);
}
void MaintenanceController::shrinkDatabase() {
    shrink(ShrinkKind::Database);
}

void MaintenanceController::shrink(ShrinkKind kind) {
    const QString name = selectedDatabase();
    if (name.isEmpty()) {
        prompts_.message(noDatabaseSelectedText(), MsgIcon::Critical,
                         QString::fromUtf16(kNoSelectionTitle));
        return;
    }
    QString& box = kind == ShrinkKind::Log ? logLogicalName_ : dataLogicalName_;
    try {
        // The lookup's connection is closed before the statement's opens. The size is read
        // beside the name, the lookup's own text unchanged.
        const db::BatchResult lookup =
            access_.read(ConnectionShape::database(name),
                         logicalNameQuery(kind) + QLatin1Char(' ') + fileSizeQuery(kind));
        const db::ResultSet files = lookup.resultSets.value(0);
        if (files.rows.isEmpty() || files.rows.first().isEmpty()) {
            prompts_.message(noFileToShrinkText(name), MsgIcon::Critical);
            return;
        }
        box = trimPadding(files.rows.first().first());
        const QString logical = box;
        const db::BatchResult done =
            access_.execute(ConnectionShape::database(name), [&name, &logical](int majorVersion) {
                return shrinkBatchFor(majorVersion, name, logical);
            });
        // A held log answers with a note at most, and the file keeps its size: no success.
        const std::optional<qint64> before = sizeBeforeShrink(lookup);
        const std::optional<qint64> after = sizeAfterShrink(done, fileIdOf(kind));
        if (before && after && *after >= *before) {
            prompts_.message(notShrunkText(kind), MsgIcon::Critical, QString(),
                             notShrunkDetail(done, *after));
            return;
        }
    } catch (const db::DbError& e) {
        prompts_.failure(reraisedError(e));
        return;
    } catch (const std::exception& e) {
        prompts_.failure(e);
        return;
    }
    prompts_.message(shrinkDoneText(kind), MsgIcon::Information, QString::fromUtf16(kDoneTitle));
}

}  // namespace korvid::maintenance
