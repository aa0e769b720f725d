#pragma once
// The main window's controls that the search subsystem gives its behaviour to (their system
// names are at their declarations in MainWindow.h).

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPushButton;
class QWidget;

namespace korvid::search {

struct SearchControls {
    QWidget* window = nullptr;         // repainted around a search; closing it stops the walk
    QGroupBox* searchFrame = nullptr;  // its caption tells what the next search does
    QWidget* commandFrame = nullptr;   // the command buttons, out of reach during a search
    QComboBox* driveBox = nullptr;
    QListWidget* folderView = nullptr;
    QLineEdit* patternBox = nullptr;
    QPushButton* searchButton = nullptr;
    QLabel* progressLabel = nullptr;  // progress and totals
    QListView* resultList = nullptr;
    QMenu* attachMenu = nullptr;  // the result list's popup and its three items
    QAction* attachOneAction = nullptr;
    QAction* attachAllAction = nullptr;
    QAction* attachWithoutLogAction = nullptr;
};

}  // namespace korvid::search
