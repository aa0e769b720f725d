#pragma once
// The main window's controls that the search subsystem gives its behaviour to.

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
    QWidget* window = nullptr;  // form2: repainted around a search; closing it stops the walk
    QGroupBox* fm1 = nullptr;   // its caption tells what the next search does
    QWidget* fm = nullptr;      // the command buttons, out of reach during a search
    QComboBox* drive = nullptr;
    QListWidget* dir1 = nullptr;
    QLineEdit* text1 = nullptr;  // the pattern
    QPushButton* command1 = nullptr;
    QLabel* label3 = nullptr;  // progress and totals
    QListView* list3 = nullptr;
    QMenu* mfile = nullptr;  // the attach popup and its three items
    QAction* fjdg = nullptr;
    QAction* fjqb = nullptr;
    QAction* wldf = nullptr;
};

}  // namespace korvid::search
