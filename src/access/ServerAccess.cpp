#include "access/ServerAccess.h"

#include <memory>

#include "access/Credentials.h"
#include "access/ModalMoments.h"
#include "access/ServerWait.h"
#include "access/TlsProbe.h"

namespace korvid {

namespace {

// The driver's own login time-out comes first, with its own words; this limit holds where a
// driver keeps waiting past it (and leaves time to ask the server why a handshake broke off).
constexpr int kLoginLimitSeconds = db::Connection::kLoginTimeoutSeconds + 4;

// Opens the connection; one that broke off in the TLS handshake says why as far as the server's
// own answer tells.
db::Connection openExplained(const ConnectionShape& shape, const QString& server,
                             const QString& password) {
    try {
        return db::Connection::open(shape.odbcText(server, password));
    } catch (const db::DbError& error) {
        if (!brokeOffDuringLogin(error)) throw;
        const QString why = explainBrokenLogin(server);
        if (why.isEmpty()) throw;
        throw TlsLoginFailure(error, why);
    }
}

}  // namespace

ServerAccess::ServerAccess(const Credentials& credentials, ModalMoments& moments)
    : credentials_(credentials), moments_(moments), wait_(moments) {}

db::Connection ServerAccess::open(const ConnectionShape& shape) const {
    // The credentials are read here, in the window's thread, at the moment of the connection.
    // The driver's string is made where the connection opens: making it may read freetds.conf
    // and, the first time, ask the driver how it reads braces.
    const QString server = credentials_.serverName();
    const QString password = credentials_.password();
    return wait_.result<db::Connection>(
        [shape, server, password] { return openExplained(shape, server, password); },
        kLoginLimitSeconds);
}

// Runs a batch on the connection; a read is given up after its time-out. The connection goes
// with whichever of the wait and the job ends last.
db::BatchResult ServerAccess::run(const std::shared_ptr<db::Connection>& connection,
                                  const QString& sql, int timeoutSeconds) const {
    return wait_.result<db::BatchResult>(
        [connection, sql, timeoutSeconds] { return connection->execute(sql, timeoutSeconds); },
        timeoutSeconds);
}

db::Connection ServerAccess::login(const QString& probe, db::BatchResult* rows) const {
    const ModalMoments::Scope moment(moments_);  // one moment for the whole login
    auto connection = std::make_shared<db::Connection>(open(ConnectionShape::login()));
    db::BatchResult batch = run(connection, probe, readTimeout_);
    if (rows) *rows = std::move(batch);
    return std::move(*connection);
}

db::BatchResult ServerAccess::execute(const ConnectionShape& shape, const QString& sql) const {
    const ModalMoments::Scope moment(moments_);
    auto connection = std::make_shared<db::Connection>(open(shape));
    return run(connection, sql, 0);
}

db::BatchResult ServerAccess::execute(
    const ConnectionShape& shape,
    const std::function<QString(int majorVersion)>& statementFor) const {
    return runForVersion(shape, statementFor, 0);
}

db::ResultSet ServerAccess::query(const ConnectionShape& shape, const QString& sql) const {
    db::BatchResult batch = read(shape, sql);
    if (batch.resultSets.isEmpty()) return db::ResultSet();
    return batch.resultSets.first();
}

db::BatchResult ServerAccess::read(const ConnectionShape& shape, const QString& sql) const {
    const ModalMoments::Scope moment(moments_);
    auto connection = std::make_shared<db::Connection>(open(shape));
    return run(connection, sql, readTimeout_);
}

db::BatchResult ServerAccess::read(
    const ConnectionShape& shape,
    const std::function<QString(int majorVersion)>& statementFor) const {
    return runForVersion(shape, statementFor, readTimeout_);
}

db::BatchResult ServerAccess::runForVersion(
    const ConnectionShape& shape, const std::function<QString(int majorVersion)>& statementFor,
    int timeoutSeconds) const {
    const ModalMoments::Scope moment(moments_);
    auto connection = std::make_shared<db::Connection>(open(shape));
    // The version may have to be asked of the server on this connection: off the window.
    const int major =
        wait_.result<int>([connection] { return connection->serverMajorVersion(); }, readTimeout_);
    return run(connection, statementFor(major), timeoutSeconds);
}

QString ServerAccess::providerText(const ConnectionShape& shape) const {
    return shape.providerText(credentials_.serverName(), credentials_.password());
}

}  // namespace korvid
