#pragma once
// The search subsystem of the main window: the search location (drive list, folder list,
// pattern box, frame caption, search button), the search itself with its folder walk, and the
// result list with its attach popup.

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>

#include "fs/FolderReader.h"
#include "fs/PathRules.h"
#include "search/ResultTable.h"
#include "search/SearchControls.h"
#include "search/TotalsText.h"

namespace korvid {
class LongRuns;
class Prompts;
}  // namespace korvid

namespace korvid::search {

class FolderList;

class SearchController : public QObject {
    Q_OBJECT
public:
    // Every control of the set must be there. The enumerator is the platform's when empty.
    SearchController(const SearchControls& controls, Prompts& prompts, LongRuns& runs,
                     std::shared_ptr<fs::DirectoryEnumerator> enumerator = nullptr,
                     fs::PathStyle style = fs::hostStyle());
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
    bool listEvent(QEvent* event);

    SearchControls c_;
    Prompts& prompts_;
    LongRuns& runs_;
    std::shared_ptr<fs::DirectoryEnumerator> enumerator_;
    fs::PathStyle style_;
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
