#include "search/FolderList.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>

namespace korvid::search {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 12;

// Each folder is drawn indented by its depth, while its text stays the bare name, so that typing
// a letter in the list finds the folder of that name.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(shifted.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) {
        return index.data(kDepthRole).toInt() * kIndentPixels;
    }
};

QString childPath(const QString& parent, const QString& name, fs::PathStyle style) {
    return parent.endsWith(fs::separator(style)) ? parent + name
                                                 : parent + fs::separator(style) + name;
}

// The list's form of a path: native separators, no separator at the end except on a root.
QString listForm(const QString& folder, fs::PathStyle style) {
    QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    if (style == fs::PathStyle::Windows) {
        path = QDir::toNativeSeparators(path);
        if (path.size() == 2 && path.at(1) == QLatin1Char(':')) path += QLatin1Char('\\');
    }
    return path;
}

}  // namespace

FolderList::FolderList(QListWidget& list, fs::PathStyle style, QObject* parent)
    : QObject(parent), list_(list), style_(style) {
    list_.setItemDelegate(new IndentDelegate(&list_));
    connect(&list_, &QListWidget::itemActivated, this, &FolderList::open);
}

QStringList FolderList::ancestors(const QString& folder, fs::PathStyle style) {
    const QChar sep = fs::separator(style);
    QStringList result;
    const QStringList parts = folder.split(sep, Qt::SkipEmptyParts);
    QString path;
    int first = 0;
    if (style == fs::PathStyle::Windows) {
        if (parts.isEmpty()) return result;
        path = parts.first() + sep;  // "C:\"
        first = 1;
    } else {
        path = QString(sep);
    }
    result.append(path);
    for (int i = first; i < parts.size(); ++i) {
        path = childPath(path, parts.at(i), style);
        result.append(path);
    }
    return result;
}

bool FolderList::setPath(const QString& folder) {
    const QString path = listForm(folder, style_);
    if (!QFileInfo(path).isDir()) return false;
    const bool changed = path != path_;
    path_ = path;
    fill();
    if (changed) emit pathChanged(path_);
    return true;
}

void FolderList::open(QListWidgetItem* item) {
    if (!item) return;
    const QString target = item->data(kPathRole).toString();
    // A folder removed since it was listed cannot be opened: the list is brought up to date.
    if (!setPath(target)) fill();
}

void FolderList::fill() {
    QStyle* style = QApplication::style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style->standardIcon(QStyle::SP_DirClosedIcon);
    list_.clear();
    const QStringList chain = ancestors(path_, style_);
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = depth == 0 ? folder : folder.section(fs::separator(style_), -1);
        auto* item = new QListWidgetItem(openIcon, name);
        item->setData(kPathRole, folder);
        item->setData(kDepthRole, depth);
        list_.addItem(item);
        ++depth;
    }
    list_.setCurrentRow(list_.count() - 1);
    const QFileInfoList children =
        QDir(path_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& child : children) {
        auto* item = new QListWidgetItem(closedIcon, child.fileName());
        item->setData(kPathRole, childPath(path_, child.fileName(), style_));
        item->setData(kDepthRole, depth);
        list_.addItem(item);
    }
}

}  // namespace korvid::search
