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

// How the ODBC driver reads a braced value: by the ODBC rule ("}}" stands for "}") or, as
// FreeTDS before 1.4 does, literally up to the first "};".
enum class BraceRule { Doubled, Literal };

// Translates a shape A/B/C string to an ODBC connection string for the platform's driver
// (FreeTDS on Linux, the system's SQL Server driver on Windows), asking for TDS 7.1.
// Throws db::DbError when a value holds text the installed driver cannot carry unchanged.
QString toOdbcConnectionString(const QString& providerString);
QString toOdbcConnectionString(const QString& providerString, BraceRule rule);

// The rule of the installed driver, asked of the driver once per run.
BraceRule installedBraceRule();

}  // namespace korvid
