#include "search/ResultTable.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QSignalBlocker>
#include <QStyle>

namespace korvid::search {

ResultTable::ResultTable(QListView& resultList, fs::PathStyle style, QObject* parent)
    : QAbstractListModel(parent), resultList_(resultList), style_(style) {
    resultList_.setModel(this);
    resultList_.setSelectionMode(QAbstractItemView::SingleSelection);
    resultList_.setUniformItemSizes(true);
    // A long list is laid out a batch of rows per turn of the event loop, so rows added during a
    // search never hold the window up for long.
    resultList_.setLayoutMode(QListView::Batched);
    resultList_.setBatchSize(2000);
    resultList_.setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A mark's icon fits the row's text, so marked rows keep the height of the others.
    const int iconSide = resultList_.fontMetrics().height();
    resultList_.setIconSize(QSize(iconSide, iconSide));
    QItemSelectionModel* selection = resultList_.selectionModel();
    connect(selection, &QItemSelectionModel::selectionChanged, this, &ResultTable::syncSelection);
    connect(selection, &QItemSelectionModel::currentChanged, this, &ResultTable::syncSelection);
}

int ResultTable::count() const {
    return int(rows_.size());
}

int ResultTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ResultTable::data(const QModelIndex& index, int role) const {
    if (index.parent().isValid()) return QVariant();
    const FoundFile* found = row(index.row());
    if (!found) return QVariant();
    if (role == Qt::DisplayRole) return found->fullPath();
    if (marks_.isEmpty() || (role != Qt::DecorationRole && role != Qt::ToolTipRole))
        return QVariant();
    const auto marked = marks_.constFind(found->fullPath());
    if (marked == marks_.constEnd()) return QVariant();
    // The list's own tooltip ("双击清除单条列表记录") goes on under the row's.
    if (role == Qt::ToolTipRole) return marked->text + QLatin1Char('\n') + resultList_.toolTip();
    return markIcon(marked->mark);
}

QIcon ResultTable::markIcon(RowMark mark) const {
    const auto known = icons_.constFind(int(mark));
    if (known != icons_.constEnd()) return *known;
    QStyle::StandardPixmap pixmap = QStyle::SP_MessageBoxCritical;
    switch (mark) {
        case RowMark::None:
            return QIcon();
        case RowMark::AttachedBefore:
            pixmap = QStyle::SP_MessageBoxInformation;
            break;
        case RowMark::Attached:
            pixmap = QStyle::SP_DialogApplyButton;
            break;
        case RowMark::Gone:
            pixmap = QStyle::SP_MessageBoxWarning;
            break;
        case RowMark::Failed:
            break;
    }
    return *icons_.insert(int(mark), resultList_.style()->standardIcon(pixmap));
}

void ResultTable::setMark(int i, RowMark mark, const QString& text) {
    const FoundFile* found = row(i);
    if (!found) return;
    if (mark == RowMark::None)
        marks_.remove(found->fullPath());
    else
        marks_.insert(found->fullPath(), {mark, text});
    const QModelIndex changed = index(i);
    emit dataChanged(changed, changed, {Qt::DecorationRole, Qt::ToolTipRole});
}

RowMark ResultTable::mark(int i) const {
    const FoundFile* found = row(i);
    return found ? marks_.value(found->fullPath(), {RowMark::None, QString()}).mark : RowMark::None;
}

QString ResultTable::markText(int i) const {
    const FoundFile* found = row(i);
    return found ? marks_.value(found->fullPath()).text : QString();
}

const FoundFile* ResultTable::row(int i) const {
    return i >= 0 && i < count() ? &rows_[i] : nullptr;
}

int ResultTable::selectedIndex() const {
    const QModelIndex current = resultList_.currentIndex();
    if (!current.isValid() || !resultList_.selectionModel()->isSelected(current)) return -1;
    return current.row();
}

bool ResultTable::select(int index) {
    if (index < -1 || index >= count()) return false;
    QItemSelectionModel* selection = resultList_.selectionModel();
    if (index < 0) {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        selection->setCurrentIndex(this->index(index), QItemSelectionModel::ClearAndSelect);
    }
    syncSelection();
    return true;
}

QString ResultTable::fullPath(int i) const {
    const FoundFile* found = row(i);
    return found ? found->fullPath() : QString();
}

QString ResultTable::fileName(int i) const {
    const FoundFile* found = row(i);
    return found ? found->fileName() : QString();
}

QString ResultTable::folderWithoutDrive(int i) const {
    const FoundFile* found = row(i);
    return found ? found->folderWithoutDrive(style_) : QString();
}

qint64 ResultTable::size(int i) const {
    const FoundFile* found = row(i);
    return found ? found->size : 0;
}

QString ResultTable::folder(int i) const {
    const FoundFile* found = row(i);
    return found ? found->folder : QString();
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
    append(std::vector<FoundFile>{row});
}

void ResultTable::append(std::vector<FoundFile>&& rows) {
    if (rows.empty()) return;
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    for (FoundFile& row : rows) rows_.append(std::move(row));
    endInsertRows();
}

void ResultTable::clear() {
    {
        const QSignalBlocker blocker(resultList_.selectionModel());
        beginResetModel();
        rows_ = QList<FoundFile>();  // the memory goes too
        marks_.clear();
        endResetModel();
    }
    syncSelection();
}

void ResultTable::removeSelected() {
    const int removed = selectedIndex();
    if (removed < 0) return;
    // The selection goes first, so no one reading the table in between sees a selected row
    // that is only half removed.
    select(-1);
    {
        QItemSelectionModel* selection = resultList_.selectionModel();
        const QSignalBlocker blocker(selection);
        beginRemoveRows(QModelIndex(), removed, removed);
        rows_.removeAt(removed);
        endRemoveRows();
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    syncSelection();
}

void ResultTable::syncSelection() {
    companionIndex_ = selectedIndex();
}

}  // namespace korvid::search
