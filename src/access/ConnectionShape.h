#pragma once
// The three connection-string shapes. A shape is a value: which of A, B or C, and for C the
// database. The credentials are never part of it: they are read from the login boxes each time
// a connection is opened, and the shape turns them into the driver's string right then.

#include <QString>

namespace korvid {

// How the ODBC driver reads a braced value: by the ODBC rule ("}}" stands for "}") or, as
// FreeTDS before 1.4 does, literally up to the first "};".
enum class BraceRule { Doubled, Literal };

class ConnectionShape {
public:
    enum class Kind { A, B, C };

    // Shape A: the login.
    static ConnectionShape login();
    // Shape B: every operation on the server as a whole (catalog master).
    static ConnectionShape server();
    // Shape C: operations inside one database.
    static ConnectionShape database(const QString& name);

    Kind kind() const { return kind_; }
    QString catalog() const { return catalog_; }

    // The shape's text in the provider's own syntax, as the system writes it; a value that could
    // change how the text is read is quoted.
    QString providerText(const QString& server, const QString& password) const;

    // The ODBC connection string for the platform's driver (FreeTDS on Linux, the system's SQL
    // Server driver on Windows), asking for TDS 7.1. Throws db::DbError when a value holds text
    // the installed driver cannot carry unchanged.
    QString odbcText(const QString& server, const QString& password) const;
    QString odbcText(const QString& server, const QString& password, BraceRule rule) const;

private:
    ConnectionShape(Kind kind, QString catalog) : kind_(kind), catalog_(std::move(catalog)) {}

    Kind kind_;
    QString catalog_;
};

// Where a server name as typed leads.
struct ServerAddress {
    QString host;
    QString port;          // empty: the instance or the driver's default names it
    bool section = false;  // host is a server section of FreeTDS's own configuration
};

// "(local)", "." and "localhost" are this machine; "host,port" names a port; "host\instance"
// names an instance, found by the driver; a section of freetds.conf is its name; anything else
// is a host on the default port 1433.
ServerAddress serverAddress(const QString& name);

// The rule of the installed driver, asked of the driver once per run.
BraceRule installedBraceRule();

}  // namespace korvid
