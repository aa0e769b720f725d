#pragma once
// Dir1 as a folder list: the folders from the root down to the open folder, then the open
// folder's subfolders; a double click or Enter on one opens it. The open folder is the list's
// path: a root with its separator ("C:\", "/"), any other folder without one.

#include <QObject>
#include <QString>
#include <QStringList>

#include "fs/PathRules.h"

class QListWidget;
class QListWidgetItem;

namespace korvid::search {

class FolderList : public QObject {
    Q_OBJECT
public:
    FolderList(QListWidget& list, fs::PathStyle style, QObject* parent = nullptr);

    QString path() const { return path_; }

    // Opens folder and lists it; emits pathChanged when the path changes. False, and nothing
    // changes, when it is no folder.
    bool setPath(const QString& folder);

    // The folders from the root down to folder, each as a path of the list ("/", "/home",
    // "/home/sa").
    static QStringList ancestors(const QString& folder, fs::PathStyle style);

signals:
    void pathChanged(const QString& path);

private:
    void open(QListWidgetItem* item);
    void fill();

    QListWidget& list_;
    fs::PathStyle style_;
    QString path_;
};

}  // namespace korvid::search
