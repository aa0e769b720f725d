#pragma once
// The result table: the visible list List3 (full paths) and its four companion columns List1
// (file name), List2 (folder without drive), List4 (size), List5 (folder), kept row by row in
// step. The companions' selected row follows List3's whenever its selection changes, by mouse,
// keyboard or code.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "search/FoundFile.h"

class QListWidget;

namespace korvid::search {

class ResultTable : public QObject {
    Q_OBJECT
public:
    explicit ResultTable(QListWidget& list3, QObject* parent = nullptr);

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

    // The search: appends one whole row; clears all five columns.
    void append(const FoundFile& row);
    void clear();

    // The double click: takes the selected row out of all five columns; afterwards no row is
    // selected. Nothing happens when none is.
    void removeSelected();

    QListWidget& list() const { return list3_; }

private:
    void syncSelection();  // the click handling

    QListWidget& list3_;
    QStringList fileNames_;
    QStringList foldersWithoutDrive_;
    QVector<qint64> sizes_;
    QStringList folders_;
    int companionIndex_ = -1;  // the selected row of List1, List2, List4 and List5
};

}  // namespace korvid::search
