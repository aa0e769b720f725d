#pragma once
// How every operation reaches the server: it reads the server name and password from the login
// boxes at the moment it connects, builds its connection shape, sends its SQL one of three ways
// and closes what it opened. Nothing here keeps a password between connections.

#include "access/ConnectionShape.h"
#include "db/Connection.h"

namespace korvid {

class Credentials;

class ServerAccess {
public:
    explicit ServerAccess(const Credentials& credentials);

    const Credentials& credentials() const { return credentials_; }

    // Opens a connection of the given shape with the credentials as they read now.
    // Throws db::DbError.
    db::Connection open(const ConnectionShape& shape) const;

    // Way 1: a statement on a connection of its own, closed afterwards. Throws db::DbError.
    db::BatchResult execute(const ConnectionShape& shape, const QString& sql) const;

    // Way 3: a query into a result set on a connection of its own: the first result set (an
    // empty one if there is none); the connection is closed afterwards. Throws db::DbError.
    db::ResultSet query(const ConnectionShape& shape, const QString& sql) const;

    // The shape's provider text with the credentials as they read now (to show, never to keep).
    QString providerText(const ConnectionShape& shape) const;

private:
    const Credentials& credentials_;
};

}  // namespace korvid
