#include "access/QuerySource.h"

#include <QHash>

#include "access/ServerAccess.h"

namespace korvid {

// The rows of the last refresh as a read-only table; captions may replace the field names.
class QuerySource::Model : public QAbstractTableModel {
public:
    explicit Model(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(set_.rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(set_.columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return QVariant();
        const QStringList& row = set_.rows.at(index.row());
        return index.column() < row.size() ? row.at(index.column()) : QString();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return QVariant();
        if (orientation == Qt::Vertical) return section + 1;
        if (captions_.contains(section)) return captions_.value(section);
        return section < set_.columns.size() ? set_.columns.at(section) : QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void replace(db::ResultSet set) {
        beginResetModel();
        set_ = std::move(set);
        endResetModel();
    }
    void setCaption(int column, const QString& caption) {
        captions_.insert(column, caption);
        emit headerDataChanged(Qt::Horizontal, column, column);
    }
    const db::ResultSet& set() const { return set_; }

private:
    db::ResultSet set_;
    QHash<int, QString> captions_;
};

QuerySource::QuerySource(const ServerAccess& access, QObject* parent)
    : QObject(parent), access_(access), model_(new Model(this)) {}

void QuerySource::setConnectionShape(const ConnectionShape& shape) {
    shape_ = shape;
}
void QuerySource::setRecordSource(const QString& sql) {
    recordSource_ = sql;
}
QString QuerySource::connectionString() const {
    return access_.providerText(shape_);
}
QString QuerySource::recordSource() const {
    return recordSource_;
}

void QuerySource::setColumnCaption(int column, const QString& caption) {
    model_->setCaption(column, caption);
}

void QuerySource::refresh() {
    db::ResultSet set = access_.query(shape_, recordSource_);  // throws: rows kept
    model_->replace(std::move(set));
    currentRow_ = model_->set().rows.isEmpty() ? -1 : 0;
    emit currentRowChanged(currentRow_);
    emit refreshed();
}

QAbstractTableModel* QuerySource::model() const {
    return model_;
}
const db::ResultSet& QuerySource::rows() const {
    return model_->set();
}
int QuerySource::rowCount() const {
    return int(model_->set().rows.size());
}
int QuerySource::currentRow() const {
    return currentRow_;
}

void QuerySource::setCurrentRow(int row) {
    if (row < -1 || row >= rowCount() || row == currentRow_) return;
    currentRow_ = row;
    emit currentRowChanged(currentRow_);
}

QString QuerySource::currentField(const QString& name) const {
    if (currentRow_ < 0) return QString();
    const db::ResultSet& set = model_->set();
    for (int c = 0; c < set.columns.size(); ++c) {
        if (set.columns.at(c).compare(name, Qt::CaseInsensitive) == 0) {
            QString value;
            cell(currentRow_, c, &value);
            return value;
        }
    }
    return QString();
}

bool QuerySource::cell(int row, int column, QString* out) const {
    const db::ResultSet& set = model_->set();
    if (row < 0 || row >= set.rows.size() || column < 0 || column >= set.columns.size())
        return false;
    const QStringList& cells = set.rows.at(row);
    if (out) *out = column < cells.size() ? cells.at(column) : QString();
    return true;
}

}  // namespace korvid
