#pragma once
// The ways SQL is sent: a statement on a connection of its own, a query into a result set on a
// connection of its own, and a query through a data control (QuerySource).

#include "db/Connection.h"

namespace korvid {

// Way 1: opens a connection from a provider string (shape A/B/C), runs the statement, closes.
// Throws db::DbError.
db::BatchResult executeStatement(const QString& providerString, const QString& sql);

// Way 3: opens a connection, runs the query, returns its first result set (empty set if none),
// closes. Throws db::DbError.
db::ResultSet queryResultSet(const QString& providerString, const QString& sql);

}  // namespace korvid
