#pragma once
// The database list's popup menu FJ and its operations: detach (FLSJ), shrink log (SSRZ) and
// shrink database (SSSJK) of the database selected in the list (Text8).

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

#include "maintenance/MaintenanceTexts.h"

class QAction;
class QMenu;
class QWidget;

namespace korvid {
class MainWindow;
}

namespace korvid::maintenance {

class MaintenanceController : public QObject {
    Q_OBJECT
public:
    // Shows the menu modally at a screen position; tests put their own in its place.
    using MenuExec = std::function<void(QMenu* menu, const QPoint& globalPos)>;

    explicit MaintenanceController(MainWindow& window);

    void setMenuExec(MenuExec exec) { menuExec_ = std::move(exec); }

    // Text9 and Text10: the logical names of the last shrinks' files.
    QString logLogicalName() const { return text9_; }
    QString dataLogicalName() const { return text10_; }

    // A mouse-down on DataGrid1: the right button opens FJ naming the selected database.
    void databaseListPressed(Qt::MouseButton button, const QPoint& globalPos);

    void detach();          // FLSJ
    void shrinkLog();       // SSRZ
    void shrinkDatabase();  // SSSJK

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shrink(ShrinkKind kind);
    QAction* action(const char* name) const;

    MainWindow& window_;
    QWidget* grid_ = nullptr;
    QAction* detach_ = nullptr;
    QAction* shrinkLog_ = nullptr;
    QAction* shrinkDatabase_ = nullptr;
    MenuExec menuExec_;
    QString text9_;
    QString text10_;
};

}  // namespace korvid::maintenance
