#include "search/ResultTable.h"

#include <QItemSelectionModel>
#include <QListWidget>
#include <QSignalBlocker>

namespace korvid::search {

ResultTable::ResultTable(QListWidget& list3, QObject* parent) : QObject(parent), list3_(list3) {
    list3_.setSelectionMode(QAbstractItemView::SingleSelection);
    list3_.setUniformItemSizes(true);
    connect(&list3_, &QListWidget::itemSelectionChanged, this, &ResultTable::syncSelection);
    connect(&list3_, &QListWidget::currentRowChanged, this, &ResultTable::syncSelection);
}

int ResultTable::count() const {
    return list3_.count();
}

int ResultTable::selectedIndex() const {
    const QModelIndex current = list3_.currentIndex();
    if (!current.isValid() || !list3_.selectionModel()->isSelected(current)) return -1;
    return current.row();
}

bool ResultTable::select(int index) {
    if (index < -1 || index >= count()) return false;
    if (index < 0) {
        list3_.clearSelection();
        list3_.setCurrentRow(-1);
    } else {
        list3_.setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
    syncSelection();
    return true;
}

QString ResultTable::fullPath(int i) const {
    const QListWidgetItem* item = list3_.item(i);
    return item ? item->text() : QString();
}

QString ResultTable::fileName(int i) const {
    return fileNames_.value(i);
}

QString ResultTable::folderWithoutDrive(int i) const {
    return foldersWithoutDrive_.value(i);
}

qint64 ResultTable::size(int i) const {
    return sizes_.value(i);
}

QString ResultTable::folder(int i) const {
    return folders_.value(i);
}

QString ResultTable::selectedFullPath() const {
    return fullPath(selectedIndex());
}

QString ResultTable::selectedFileName() const {
    return fileName(companionIndex_);
}

QString ResultTable::selectedFolder() const {
    return folder(companionIndex_);
}

void ResultTable::append(const FoundFile& row) {
    fileNames_.append(row.fileName);
    foldersWithoutDrive_.append(row.folderWithoutDrive);
    sizes_.append(row.size);
    folders_.append(row.folder);
    list3_.addItem(row.fullPath);
}

void ResultTable::clear() {
    {
        const QSignalBlocker blocker(&list3_);
        sizes_.clear();
        list3_.clear();
        fileNames_.clear();
        foldersWithoutDrive_.clear();
        folders_.clear();
    }
    syncSelection();
}

void ResultTable::removeSelected() {
    const int row = selectedIndex();
    if (row < 0) return;
    // The selection goes first, so no one reading the table in between sees a selected row
    // that is only half removed.
    select(-1);
    {
        const QSignalBlocker blocker(&list3_);
        delete list3_.takeItem(row);
        fileNames_.removeAt(row);
        foldersWithoutDrive_.removeAt(row);
        sizes_.removeAt(row);
        folders_.removeAt(row);
        list3_.clearSelection();
        list3_.setCurrentRow(-1);
    }
    syncSelection();
}

void ResultTable::syncSelection() {
    companionIndex_ = selectedIndex();
}

}  // namespace korvid::search
