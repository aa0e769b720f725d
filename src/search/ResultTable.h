#pragma once
// The result table: the visible list List3 (full paths) and its four companion columns List1
// (file name), List2 (folder without drive), List4 (size), List5 (folder), kept row by row in
// step. The companions' selected row follows List3's whenever its selection changes, by mouse,
// keyboard or code.
//
// The table is List3's model: one compact row per file (the folder's text shared by its rows,
// the size a number); the list draws only the rows in sight, and every column is worked out
// from the row when it is read. A row may carry a mark (RowMark): an icon and a tooltip that
// tell what became of its file; the columns' texts stay as they are.

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <vector>

#include "fs/PathRules.h"
#include "search/FoundFile.h"
#include "search/RowMark.h"

class QListView;

namespace korvid::search {

class ResultTable : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ResultTable(QListView& resultList, fs::PathStyle style = fs::hostStyle(),
                         QObject* parent = nullptr);

    int count() const;
    int selectedIndex() const;  // List3's selected row; -1 none
    // As setting List3's selected index from code: runs the click handling; -1 clears. False,
    // and nothing changes, when index is out of range.
    bool select(int index);

    QString fullPath(int i) const;            // List3
    QString fileName(int i) const;            // List1
    QString folderWithoutDrive(int i) const;  // List2
    qint64 size(int i) const;                 // List4
    QString folder(int i) const;              // List5

    QString selectedFullPath() const;
    QString selectedFileName() const;
    QString selectedFolder() const;

    // Row i's mark and the tooltip that goes with it; the next search clears every mark.
    void setMark(int i, RowMark mark, const QString& text);
    RowMark mark(int i) const;
    QString markText(int i) const;

    // The search: appends whole rows, in order; clears all five columns.
    void append(const FoundFile& row);
    void append(std::vector<FoundFile>&& rows);
    void clear();

    // The double click: takes the selected row out of all five columns; afterwards no row is
    // selected. Nothing happens when none is.
    void removeSelected();

    QListView& list() const { return resultList_; }

    // The model List3 shows.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void syncSelection();  // the click handling
    QIcon markIcon(RowMark mark) const;
    const FoundFile* row(int i) const;

    QListView& resultList_;
    fs::PathStyle style_;
    QList<FoundFile> rows_;  // grows in place: a million rows are not copied to add more
    struct Marked {
        RowMark mark;
        QString text;
    };
    QHash<QString, Marked> marks_;     // by full path: the few marked rows cost the others nothing
    mutable QHash<int, QIcon> icons_;  // by mark: a style makes its icon anew at every call
    int companionIndex_ = -1;          // the selected row of List1, List2, List4 and List5
};

}  // namespace korvid::search
