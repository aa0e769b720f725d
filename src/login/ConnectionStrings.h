#pragma once
// The three connection-string shapes, built in the provider's own syntax, and their translation
// to the ODBC driver's keys in one place.

#include <QString>

namespace korvid {

// Shape A: the login.
QString connectionShapeA(const QString& server, const QString& password);
// Shape B: every operation on the server as a whole (catalog master).
QString connectionShapeB(const QString& server, const QString& password);
// Shape C: operations inside one database.
QString connectionShapeC(const QString& database, const QString& server, const QString& password);

// Translates a shape A/B/C string to an ODBC connection string for the platform's driver
// (FreeTDS on Linux, the system's SQL Server driver on Windows), asking for TDS 7.1.
QString toOdbcConnectionString(const QString& providerString);

}  // namespace korvid
