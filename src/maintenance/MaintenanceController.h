#pragma once
// The database list's popup menu FJ and its operations: detach (FLSJ), shrink log (SSRZ) and
// shrink database (SSSJK) of the database selected in the list (Text8).

#include <QObject>
#include <QPoint>
#include <QString>
#include <optional>

#include "maintenance/MaintenanceControls.h"
#include "maintenance/MaintenanceTexts.h"

namespace korvid {
class Prompts;
class ServerAccess;
}  // namespace korvid

namespace korvid::maintenance {

class MaintenanceController : public QObject {
    Q_OBJECT
public:
    // Every control of the set must be there.
    MaintenanceController(const MaintenanceControls& controls, const ServerAccess& access,
                          Prompts& prompts);

    // Text9 and Text10: the logical names of the last shrinks' files.
    QString logLogicalName() const { return logLogicalName_; }
    QString dataLogicalName() const { return dataLogicalName_; }

    // A mouse-down on DataGrid1: the right button opens FJ naming the selected database.
    void databaseListPressed(Qt::MouseButton button, const QPoint& globalPos);

    void detach();          // FLSJ
    void shrinkLog();       // SSRZ
    void shrinkDatabase();  // SSSJK

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shrink(ShrinkKind kind);
    QString selectedDatabase() const;

    MaintenanceControls c_;
    std::optional<QString> chosen_;  // the database the open popup names
    const ServerAccess& access_;
    Prompts& prompts_;
    QString logLogicalName_;
    QString dataLogicalName_;
};

}  // namespace korvid::maintenance
