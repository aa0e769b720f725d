#pragma once
// The main window's controls that the attach subsystem gives its behaviour to (their system
// names are at their declarations in MainWindow.h).

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace korvid {
class QuerySource;
}

namespace korvid::attach {

struct AttachControls {
    QWidget* window = nullptr;        // its pointer and repaints during a run
    QWidget* commandFrame = nullptr;  // the command buttons, out of reach during a run
    QPushButton* autoAttachButton = nullptr;
    QLabel* progressLabel = nullptr;  // progress and totals
    QMenu* attachMenu = nullptr;      // the result list's popup and its items
    QAction* attachOneAction = nullptr;
    QAction* attachAllAction = nullptr;
    QAction* attachWithoutLogAction = nullptr;
    QuerySource* databaseList = nullptr;  // reloaded after every attach
};

}  // namespace korvid::attach
