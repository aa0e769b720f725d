#pragma once
// The search subsystem of the main window: the search location (drive list, folder list,
// pattern box, frame caption, search button), the search itself with its folder walk, and the
// result list with its attach popup.

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

#include "fs/FolderReader.h"
#include "fs/PathRules.h"
#include "search/ResultTable.h"
#include "search/SearchControls.h"
#include "search/TotalsText.h"

namespace korvid {
class LongRuns;
class ModalMoments;
class Prompts;
}  // namespace korvid

class QTimer;

namespace korvid::search {

class BackgroundWalk;
class FolderList;

class SearchController : public QObject {
    Q_OBJECT
public:
    // Every control of the set must be there. While a moment of the gate is open, the walk holds
    // still. The enumerator is the platform's when empty.
    SearchController(const SearchControls& controls, Prompts& prompts, LongRuns& runs,
                     ModalMoments& moments,
                     std::shared_ptr<fs::DirectoryEnumerator> enumerator = nullptr,
                     fs::PathStyle style = fs::hostStyle());
    ~SearchController() override;

    ResultTable& table() { return *table_; }
    qint64 totalSize() const { return totalSize_; }  // tsize
    QString totalsText() const;                      // from table().count() and totalSize()
    bool isSearching() const { return searching_; }
    // The Command1 click: starts the search, which goes on while the window works and ends
    // with searchFinished.
    void search();

    QString searchFolder() const { return searchFolder_; }  // spath
    FolderList& folderList() { return *folderList_; }

    // Window activation: the start-up settings.
    void startUp();

    // The drive list's roots, as offered (tests replace them).
    void setRoots(const QStringList& paths, const QStringList& labels);

signals:
    // A search ended: completed (the totals text is in Label3) or stopped with its window.
    void searchFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showProgress(const QString& folder);
    void takeProgress();
    bool listHasRoom() const;
    // The rows taken, into the table, a turn's worth; false while some are left.
    bool showSomeRows();
    void endSearch(bool completed);

    void folderChange();
    void driveChange();
    void patternChange();
    void captionRule();
    void popup(const QPoint& at);
    int rootIndexOf(const QString& path) const;
    void refreshRoots();
    bool listEvent(QEvent* event);

    SearchControls c_;
    const QObject* resultListViewport_ = nullptr;
    Prompts& prompts_;
    QPointer<LongRuns> runs_;  // may go before the window it is shared with
    ModalMoments& moments_;
    std::shared_ptr<fs::DirectoryEnumerator> enumerator_;
    fs::PathStyle style_;
    ResultTable* table_ = nullptr;
    FolderList* folderList_ = nullptr;

    QString searchFolder_;
    qint64 totalSize_ = 0;
    bool searching_ = false;
    bool stopRequested_ = false;
    std::unique_ptr<BackgroundWalk> walk_;
    QTimer* takeTimer_ = nullptr;
    // Batches taken from the walk, not yet in the table (the first from unshownFrom_ on).
    std::deque<std::vector<FoundFile>> unshown_;
    size_t unshownFrom_ = 0;
    bool walkEnded_ = false;  // its last rows are taken
    QElapsedTimer sinceShown_;
    QString shownFolder_;
    int driveChangeDepth_ = 0;
    QStringList rootPaths_;
    QHash<QString, QString> lastFolderOfRoot_;
};

}  // namespace korvid::search
