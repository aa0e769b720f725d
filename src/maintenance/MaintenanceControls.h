#pragma once
// The main window's controls that the maintenance subsystem gives its behaviour to (their system
// names are at their declarations in MainWindow.h).

class QAbstractItemView;
class QAction;
class QLineEdit;
class QMenu;

namespace korvid {
class QuerySource;
}

namespace korvid::maintenance {

struct MaintenanceControls {
    QAbstractItemView* databaseGrid = nullptr;  // the database list as shown
    QMenu* databaseMenu = nullptr;              // its popup and the three items
    QAction* detachAction = nullptr;
    QAction* shrinkLogAction = nullptr;
    QAction* shrinkDatabaseAction = nullptr;
    QLineEdit* selectedDatabaseBox = nullptr;  // the name of the list's current row
    QuerySource* databaseList = nullptr;       // reloaded after a detach
};

}  // namespace korvid::maintenance
