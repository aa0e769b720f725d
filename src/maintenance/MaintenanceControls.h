#pragma once
// The main window's controls that the maintenance subsystem gives its behaviour to.

class QAbstractItemView;
class QAction;
class QLineEdit;
class QMenu;

namespace korvid {
class QuerySource;
}

namespace korvid::maintenance {

struct MaintenanceControls {
    QAbstractItemView* dataGrid1 = nullptr;  // the database list
    QMenu* fj = nullptr;                     // its popup and the three items
    QAction* flsj = nullptr;
    QAction* ssrz = nullptr;
    QAction* sssjk = nullptr;
    QLineEdit* text8 = nullptr;     // the selected database
    QuerySource* adodc1 = nullptr;  // the database list, reloaded after a detach
};

}  // namespace korvid::maintenance
