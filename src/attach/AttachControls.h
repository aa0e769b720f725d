#pragma once
// The main window's controls that the attach subsystem gives its behaviour to.

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
    QWidget* window = nullptr;  // form2: its pointer and repaints during a run
    QWidget* fm = nullptr;      // the command buttons, out of reach during a run
    QPushButton* command5 = nullptr;
    QLabel* label3 = nullptr;  // progress and totals
    QMenu* mfile = nullptr;    // the attach popup and its items
    QAction* fjdg = nullptr;
    QAction* fjqb = nullptr;
    QAction* wldf = nullptr;
    QuerySource* adodc1 = nullptr;  // the database list, reloaded after every attach
};

}  // namespace korvid::attach
