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

    // Adodc1: the source of the database list.
    QuerySource* databaseList() const { return adodc1_; }
    // Text8: the database name of the list's current row; empty when none.
    QString selectedDatabase() const;

    QMenu* fileMenu() const { return mfile_; }   // mfile
    QMenu* databaseMenu() const { return fj_; }  // FJ

    // Applies the resize rules to the given outer size in twips (also used by tests).
    void applyResizeRules(int outerWidthTwips, int outerHeightTwips);

    // Window load: points Adodc1 at the server (shape B) and lists the databases. A failure
    // shows the server's message; the window stays usable with an empty list.
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
    void fitLabel3();

    const ServerAccess& access_;
    Prompts& prompts_;
    QTableView* dataGrid1_ = nullptr;
    QGroupBox* fm1_ = nullptr;
    QComboBox* drive_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QListWidget* dir1_ = nullptr;
    QGroupBox* fm_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command5_ = nullptr;
    QPushButton* command2_ = nullptr;
    QListView* list3_ = nullptr;
    QLabel* label3_ = nullptr;
    static constexpr int kLabel3WidthTwips = 1260;
    bool loaded_ = false;
    QuerySource* adodc1_ = nullptr;
    QLineEdit* text8_ = nullptr;
    QMenu* mfile_ = nullptr;
    QAction* fjdg_ = nullptr;
    QAction* fjqb_ = nullptr;
    QAction* wldf_ = nullptr;
    QMenu* fj_ = nullptr;
    QAction* flsj_ = nullptr;
    QAction* ssrz_ = nullptr;
    QAction* sssjk_ = nullptr;
    bool activated_ = false;
    QSize rulesOuterSize_;  // the outer size the resize rules last ran with
};

}  // namespace korvid
