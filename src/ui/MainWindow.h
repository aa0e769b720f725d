#pragma once
// The main window form2: database list, search settings, command buttons, result list, status
// bar, the two popup menus. Every control carries its system name as objectName; the subsystems
// are handed their controls as typed sets and give them their behaviour.

#include <QMainWindow>
#include <QSize>

#include "attach/AttachControls.h"
#include "maintenance/MaintenanceControls.h"
#include "search/SearchControls.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPushButton;
class QTableView;

namespace korvid {

class Prompts;
class QuerySource;
class ServerAccess;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const ServerAccess& access, Prompts& prompts, QWidget* parent = nullptr);
    ~MainWindow() override;

    const ServerAccess& serverAccess() const { return access_; }

    // The controls each subsystem gives its behaviour to.
    search::SearchControls searchControls() const;
    attach::AttachControls attachControls() const;
    maintenance::MaintenanceControls maintenanceControls() const;

    // The source of the database list.
    QuerySource* databaseList() const { return databaseList_; }
    // The database name of the list's current row; empty when none.
    QString selectedDatabase() const;

    QMenu* attachMenu() const { return attachMenu_; }
    QMenu* databaseMenu() const { return databaseMenu_; }
    // 退出程序: the window's own, it ends the program.
    QPushButton* exitButton() const { return exitButton_; }

    // Applies the resize rules to the given outer size in twips (also used by tests).
    void applyResizeRules(int outerWidthTwips, int outerHeightTwips);

    // Window load: points the database list at the server (shape B) and lists the databases. A
    // failure shows the server's message; the window stays usable with an empty list.
    void loadDatabaseList();

    void setVisible(bool visible) override;

signals:
    // Window activation, after the menus are hidden: the search start-up settings run here.
    void firstActivated();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildSearchControls(QWidget* client);
    void buildHiddenControls(QWidget* client);
    void nameForScreenReaders();
    void buildMenus();
    void runActivation();
    void applyResizeRulesToOuterSize();
    void fitProgressLabel();

    const ServerAccess& access_;
    Prompts& prompts_;
    // Each control's system name is its objectName, given here.
    QTableView* databaseGrid_ = nullptr;       // DataGrid1
    QGroupBox* searchFrame_ = nullptr;         // fm1
    QComboBox* driveBox_ = nullptr;            // drive
    QLineEdit* patternBox_ = nullptr;          // Text1
    QListWidget* folderView_ = nullptr;        // Dir1
    QGroupBox* commandFrame_ = nullptr;        // fm
    QPushButton* searchButton_ = nullptr;      // Command1
    QPushButton* autoAttachButton_ = nullptr;  // Command5
    QPushButton* exitButton_ = nullptr;        // Command2
    QListView* resultList_ = nullptr;          // List3
    QLabel* progressLabel_ = nullptr;          // Label3
    static constexpr int kProgressLabelWidthTwips = 1260;
    bool loaded_ = false;
    QuerySource* databaseList_ = nullptr;        // Adodc1
    QLineEdit* selectedDatabaseBox_ = nullptr;   // Text8, in the hidden frame Frame1
    QMenu* attachMenu_ = nullptr;                // mfile
    QAction* attachOneAction_ = nullptr;         // FjDG
    QAction* attachAllAction_ = nullptr;         // Fjqb
    QAction* attachWithoutLogAction_ = nullptr;  // WLDF
    QMenu* databaseMenu_ = nullptr;              // FJ
    QAction* detachAction_ = nullptr;            // FLSJ
    QAction* shrinkLogAction_ = nullptr;         // SSRZ
    QAction* shrinkDatabaseAction_ = nullptr;    // SSSJK
    bool activated_ = false;
    QSize rulesOuterSize_;  // the outer size the resize rules last ran with
};

}  // namespace korvid
