#pragma once
// The search subsystem of the main window: the search location (drive list, folder list,
// pattern box, frame caption, search button), the search itself with its folder walk, and the
// result list with its attach popup. It finds the window's controls by their names.

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "fs/FolderReader.h"
#include "fs/PathRules.h"
#include "search/ResultTable.h"
#include "search/TotalsText.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QWidget;

namespace korvid {
class MainWindow;
}

namespace korvid::search {

class FolderList;

// What the controller needs of the window beyond its named controls; the main window gives its
// own, tests give stand-ins. Left empty: no long-run guard, the system's message box, the menu's
// own exec, the platform's enumeration.
struct SearchHooks {
    std::function<bool()> beginLongRun;
    std::function<void()> endLongRun;
    std::function<void(const QString& text)> showError;  // critical box, default title
    std::function<void(QMenu& menu, const QPoint& at)> execMenu;
    std::shared_ptr<fs::DirectoryEnumerator> enumerator;  // the platform's when empty
    fs::PathStyle style = fs::hostStyle();
};

class SearchController : public QObject {
    Q_OBJECT
public:
    explicit SearchController(MainWindow& window);
    SearchController(QWidget& window, QMenu* fileMenu, SearchHooks hooks);
    ~SearchController() override;

    ResultTable& table() { return *table_; }
    qint64 tsize() const { return tsize_; }
    QString totalsText() const;  // from table().count() and tsize()
    bool isSearching() const { return searching_; }
    void search();  // the Command1 click

    QString spath() const { return spath_; }
    FolderList& folderList() { return *folderList_; }

    // Window activation: the start-up settings.
    void startUp();

    // The drive list's roots, as offered (tests replace them).
    void setRoots(const QStringList& paths, const QStringList& labels);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Walker;

    void folderChange();
    void driveChange();
    void patternChange();
    void captionRule();
    void popup(const QPoint& at);
    int rootIndexOf(const QString& path) const;
    void refreshRoots();

    QWidget& window_;
    QMenu* fileMenu_;
    SearchHooks hooks_;
    QGroupBox* fm1_ = nullptr;
    QWidget* fm_ = nullptr;
    QComboBox* drive_ = nullptr;
    QListWidget* dir1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QLabel* label3_ = nullptr;
    QListWidget* list3_ = nullptr;
    ResultTable* table_ = nullptr;
    FolderList* folderList_ = nullptr;

    QString spath_;
    qint64 tsize_ = 0;
    bool searching_ = false;
    bool stopRequested_ = false;
    int driveChangeDepth_ = 0;
    QStringList rootPaths_;
    QHash<QString, QString> lastFolderOfRoot_;
};

}  // namespace korvid::search
