#pragma once
// The data control: a connection shape and a record source; refresh() connects with the
// credentials as they read at that moment, runs the source, replaces the rows shown by every
// bound view and makes the first row current.

#include <QAbstractTableModel>
#include <QObject>
#include <QString>
#include "access/ConnectionShape.h"
#include "db/Connection.h"

namespace korvid {

class ServerAccess;

class QuerySource : public QObject {
    Q_OBJECT
public:
    explicit QuerySource(const ServerAccess& access, QObject* parent = nullptr);

    void setConnectionShape(const ConnectionShape& shape);
    void setRecordSource(const QString& sql);
    ConnectionShape connectionShape() const { return shape_; }
    // The shape's text with the credentials as they read now; nothing of it is kept.
    QString connectionString() const;
    QString recordSource() const;
    // The caption a bound grid shows over a column instead of the field name.
    void setColumnCaption(int column, const QString& caption);

    // Runs the record source on a connection of its own. Throws db::DbError; on failure the
    // rows shown before stay as they were.
    void refresh();

    QAbstractTableModel* model() const;  // feeds grids
    const db::ResultSet& rows() const;
    int rowCount() const;

    int currentRow() const;  // -1 when there are no rows
    void setCurrentRow(int row);
    // The named field (case-insensitive) of the current row; empty when there is none.
    QString currentField(const QString& name) const;
    // Cell (row, column) counted from 0; false when the result has no such cell.
    bool cell(int row, int column, QString* out) const;

signals:
    void currentRowChanged(int row);
    void refreshed();

private:
    class Model;
    const ServerAccess& access_;
    ConnectionShape shape_ = ConnectionShape::server();
    QString recordSource_;
    Model* model_;
    int currentRow_ = -1;
};

}  // namespace korvid
