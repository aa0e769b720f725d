#include "access/ServerAccess.h"

#include "access/Credentials.h"

namespace korvid {

ServerAccess::ServerAccess(const Credentials& credentials) : credentials_(credentials) {}

db::Connection ServerAccess::open(const ConnectionShape& shape) const {
    return db::Connection::open(shape.odbcText(credentials_.serverName(), credentials_.password()));
}

db::BatchResult ServerAccess::execute(const ConnectionShape& shape, const QString& sql) const {
    db::Connection connection = open(shape);
    return connection.execute(sql);  // the connection closes when it goes out of scope
}

db::ResultSet ServerAccess::query(const ConnectionShape& shape, const QString& sql) const {
    db::Connection connection = open(shape);
    db::BatchResult batch = connection.execute(sql);
    if (batch.resultSets.isEmpty()) return db::ResultSet();
    return batch.resultSets.first();
}

QString ServerAccess::providerText(const ConnectionShape& shape) const {
    return shape.providerText(credentials_.serverName(), credentials_.password());
}

}  // namespace korvid
