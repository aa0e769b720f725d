#include "login/SqlAccess.h"

#include "login/ConnectionStrings.h"

namespace korvid {

db::BatchResult executeStatement(const QString& providerString, const QString& sql) {
    db::Connection connection = db::Connection::open(toOdbcConnectionString(providerString));
    return connection.execute(sql);  // the connection closes when it goes out of scope
}

db::ResultSet queryResultSet(const QString& providerString, const QString& sql) {
    db::Connection connection = db::Connection::open(toOdbcConnectionString(providerString));
    db::BatchResult batch = connection.execute(sql);
    if (batch.resultSets.isEmpty()) return db::ResultSet();
    return batch.resultSets.first();
}

}  // namespace korvid
