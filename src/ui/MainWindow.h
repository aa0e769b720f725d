#pragma once
// The main window form2: database list, search settings, command buttons, result list, status
// bar, the two popup menus. Every control carries its system name as objectName; the subsystem
// controllers find their controls by that name (findChild) and give them their behaviour.

#include <QMainWindow>
#include <QSize>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTableView;
class QTime;
class QTimer;

namespace korvid {

class Credentials;
class QuerySource;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const Credentials& credentials, QWidget* parent = nullptr);
    ~MainWindow() override;

    const Credentials& credentials() const { return credentials_; }

    // Adodc1: the source of the database list.
    QuerySource* databaseList() const { return adodc1_; }
    // Text8: the database name of the list's current row; empty when none.
    QString selectedDatabase() const;

    QMenu* fileMenu() const { return mfile_; }   // mfile
    QMenu* databaseMenu() const { return fj_; }  // FJ

    // Long loops (the folder walk, auto attach) yield to the window; while one runs, another
    // must not start. begin returns false when one is already running.
    bool beginLongRun();
    void endLongRun();
    bool longRunActive() const { return longRun_; }

    // Applies the resize rules to the given outer size in twips (also used by tests).
    void applyResizeRules(int outerWidthTwips, int outerHeightTwips);

    // Window load: points Adodc1 at the server (shape B) and lists the databases. A failure
    // shows the server's message; the window stays usable with an empty list.
    void loadDatabaseList();

    void setVisible(bool visible) override;

    // How long the status bar's date waits before it looks at the clock again: a minute at
    // most, and just past the coming midnight when that is sooner.
    static int nextDateCheckMs(const QTime& now);

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
    void buildHiddenControls(QWidget* client);
    void buildStatusBar();
    void buildMenus();
    void runActivation();
    void applyResizeRulesToOuterSize();
    void showToday();
    void fitLabel3();

    const Credentials& credentials_;
    QTableView* dataGrid1_ = nullptr;
    QListWidget* list3_ = nullptr;
    QLabel* label3_ = nullptr;
    static constexpr int kLabel3WidthTwips = 1260;
    QLabel* panel4_ = nullptr;
    QTimer* dateTimer_ = nullptr;
    bool loaded_ = false;
    QuerySource* adodc1_ = nullptr;
    QLineEdit* text8_ = nullptr;
    QMenu* mfile_ = nullptr;
    QMenu* fj_ = nullptr;
    bool activated_ = false;
    QSize rulesOuterSize_;  // the outer size the resize rules last ran with
    bool longRun_ = false;
};

}  // namespace korvid
