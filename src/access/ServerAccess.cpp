#include "access/ServerAccess.h"

#include <memory>

#include "access/Credentials.h"
#include "access/ModalMoments.h"
#include "access/ServerWait.h"

namespace korvid {

namespace {

// The driver's own login time-out comes first, with its own words; this limit holds where a
// driver keeps waiting past it.
constexpr int kLoginLimitSeconds = db::Connection::kLoginTimeoutSeconds + 1;

using SharedConnection = std::shared_ptr<db::Connection>;

// Runs a batch on the connection; a read is given up after its time-out. The connection goes
// with whichever of the wait and the job ends last.
db::BatchResult run(const SharedConnection& connection, const QString& sql, int timeoutSeconds) {
    return waitFor<db::BatchResult>(
        [connection, sql, timeoutSeconds] { return connection->execute(sql, timeoutSeconds); },
        timeoutSeconds);
}

}  // namespace

ServerAccess::ServerAccess(const Credentials& credentials) : credentials_(credentials) {}

db::Connection ServerAccess::open(const ConnectionShape& shape) const {
    // The credentials are read here, in the window's thread, at the moment of the connection.
    const QString odbc = shape.odbcText(credentials_.serverName(), credentials_.password());
    return waitFor<db::Connection>([odbc] { return db::Connection::open(odbc); },
                                   kLoginLimitSeconds);
}

db::Connection ServerAccess::login(const QString& probe, db::BatchResult* rows) const {
    const ModalMoments::Scope moment;  // one moment for the whole login
    auto connection = std::make_shared<db::Connection>(open(ConnectionShape::login()));
    db::BatchResult batch = run(connection, probe, readTimeout_);
    if (rows) *rows = std::move(batch);
    return std::move(*connection);
}

db::BatchResult ServerAccess::execute(const ConnectionShape& shape, const QString& sql) const {
    const ModalMoments::Scope moment;
    auto connection = std::make_shared<db::Connection>(open(shape));
    return run(connection, sql, 0);
}

db::BatchResult ServerAccess::execute(
    const ConnectionShape& shape,
    const std::function<QString(int majorVersion)>& statementFor) const {
    const ModalMoments::Scope moment;
    auto connection = std::make_shared<db::Connection>(open(shape));
    return run(connection, statementFor(connection->serverMajorVersion()), 0);
}

db::ResultSet ServerAccess::query(const ConnectionShape& shape, const QString& sql) const {
    const ModalMoments::Scope moment;
    auto connection = std::make_shared<db::Connection>(open(shape));
    db::BatchResult batch = run(connection, sql, readTimeout_);
    if (batch.resultSets.isEmpty()) return db::ResultSet();
    return batch.resultSets.first();
}

QString ServerAccess::providerText(const ConnectionShape& shape) const {
    return shape.providerText(credentials_.serverName(), credentials_.password());
}

}  // namespace korvid
