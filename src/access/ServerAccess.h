#pragma once
// How every operation reaches the server: it reads the server name and password from the login
// boxes at the moment it connects, builds its connection shape, sends its SQL one of three ways
// and closes what it opened. Nothing here keeps a password between connections. Every call waits
// off the window's thread, so the windows stay alive while the server works.

#include <functional>

#include "access/ConnectionShape.h"
#include "access/ServerWait.h"
#include "db/Connection.h"

namespace korvid {

class Credentials;
class ModalMoments;

class ServerAccess {
public:
    // Statements that only read get this long; a header read takes milliseconds.
    static constexpr int kReadTimeoutSeconds = 30;

    // Every wait is a moment of the given gate.
    ServerAccess(const Credentials& credentials, ModalMoments& moments);
    ServerAccess(const ServerAccess&) = delete;
    ServerAccess& operator=(const ServerAccess&) = delete;

    const Credentials& credentials() const { return credentials_; }

    // Reads (the login probe, the data controls, the lookups) fail when the server has not
    // answered within this many seconds; statements that change the server wait as long as it
    // takes, since a real attach or shrink may rightly take minutes.
    void setReadTimeout(int seconds) { readTimeout_ = seconds; }
    int readTimeout() const { return readTimeout_; }

    // Opens a connection of the given shape with the credentials as they read now.
    // Throws db::DbError.
    db::Connection open(const ConnectionShape& shape) const;

    // The login: a shape A connection and the probe's rows; the connection stays open for the
    // caller. Throws db::DbError.
    db::Connection login(const QString& probe, db::BatchResult* rows) const;

    // Way 1: a statement that changes the server, on a connection of its own, closed afterwards.
    // Throws db::DbError.
    db::BatchResult execute(const ConnectionShape& shape, const QString& sql) const;

    // Way 1 where the statement depends on the server's version, which the connection itself
    // tells (the server is asked on the same connection only when the driver cannot say).
    db::BatchResult execute(const ConnectionShape& shape,
                            const std::function<QString(int majorVersion)>& statementFor) const;

    // Way 3 (and the data controls' way 2): a query into a result set on a connection of its
    // own: the first result set (an empty one if there is none); the connection is closed
    // afterwards. Throws db::DbError.
    db::ResultSet query(const ConnectionShape& shape, const QString& sql) const;
    // The same with every result set and message of the batch.
    db::BatchResult read(const ConnectionShape& shape, const QString& sql) const;

    // A read whose text depends on the server's version, which the connection tells: every
    // result set of the batch, within the read time-out. Throws db::DbError.
    db::BatchResult read(const ConnectionShape& shape,
                         const std::function<QString(int majorVersion)>& statementFor) const;

    // The shape's provider text with the credentials as they read now (to show, never to keep).
    QString providerText(const ConnectionShape& shape) const;

private:
    db::BatchResult run(const std::shared_ptr<db::Connection>& connection, const QString& sql,
                        int timeoutSeconds) const;
    // Opens the shape's connection, learns the server's version on it and runs the statement
    // made for that version.
    db::BatchResult runForVersion(const ConnectionShape& shape,
                                  const std::function<QString(int majorVersion)>& statementFor,
                                  int timeoutSeconds) const;

    const Credentials& credentials_;
    ModalMoments& moments_;
    int readTimeout_ = kReadTimeoutSeconds;
    mutable ServerWait wait_;  // the workers every call runs on
};

}  // namespace korvid
