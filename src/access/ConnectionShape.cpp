#include "access/ConnectionShape.h"

#include "access/FreeTdsConfig.h"
#include "db/Connection.h"

namespace korvid {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// A value of the provider string is written bare unless it could change how the string is
// read: then it is quoted, the quote char doubled inside, so it reaches the server as typed.
QString providerValue(const QString& value) {
    const bool plain = !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('=')) &&
                       !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\'')) &&
                       (value.isEmpty() || (!isBlank(value.front()) && !isBlank(value.back())));
    if (plain) return value;
    QChar quote = QLatin1Char('"');
    if (value.contains(quote) && !value.contains(QLatin1Char('\''))) quote = QLatin1Char('\'');
    QString doubled = value;
    doubled.replace(quote, QString(2, quote));
    return quote + doubled + quote;
}

// An ODBC value is braced when it holds anything the driver would read as syntax.
QString odbcValue(const QString& value, BraceRule rule) {
    const bool plain = !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
                       !value.contains(QLatin1Char('}')) && !value.contains(QLatin1Char('=')) &&
                       (value.isEmpty() || (!isBlank(value.front()) && !isBlank(value.back())));
    if (plain) return value;
    if (rule == BraceRule::Literal) {
        // Such a driver ends the value at the first "};" and has no escape for it: refuse
        // rather than send the server a different password or name.
        if (value.contains(QLatin1String("};"))) {
            db::ServerMessage m;
            m.sqlState = QStringLiteral("HY000");
            m.text = QStringLiteral(
                "服务器名称、密码或数据库名称中含有“};”，已安装的 ODBC 驱动程序无法原样传送。");
            throw db::DbError(m, {m});
        }
        return QLatin1Char('{') + value + QLatin1Char('}');
    }
    QString doubled = value;
    doubled.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + doubled + QLatin1Char('}');
}

}  // namespace

ServerAddress serverAddress(const QString& name) {
    auto hostOf = [](const QString& h) {
        const QString lower = h.toLower();
        if (lower == QLatin1String("(local)") || lower == QLatin1String(".") ||
            lower == QLatin1String("localhost"))
            return QStringLiteral("127.0.0.1");
        return h;
    };
    const qsizetype comma = name.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        const QString port = name.mid(comma + 1).trimmed();
        bool ok = false;
        port.toUShort(&ok);
        if (ok) return {hostOf(name.left(comma).trimmed()), port};
    }
    const qsizetype slash = name.indexOf(QLatin1Char('\\'));
    if (slash >= 0) return {hostOf(name.left(slash)) + name.mid(slash), QString()};
#ifndef Q_OS_WIN
    if (isFreeTdsServerSection(name)) return {name, QString(), true};
#endif
    return {hostOf(name), QStringLiteral("1433")};
}

ConnectionShape ConnectionShape::login() {
    return ConnectionShape(Kind::A, QStringLiteral("master"));
}

ConnectionShape ConnectionShape::server() {
    return ConnectionShape(Kind::B, QStringLiteral("master"));
}

ConnectionShape ConnectionShape::database(const QString& name) {
    return ConnectionShape(Kind::C, name);
}

QString ConnectionShape::providerText(const QString& server, const QString& password) const {
    switch (kind_) {
        case Kind::A:
            return QStringLiteral("Provider=SQLOLEDB;Data Source=") + providerValue(server) +
                   QStringLiteral(";Initial Catalog=master;User ID=sa;Password=") +
                   providerValue(password);
        case Kind::B:
            return QStringLiteral(
                       "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial "
                       "Catalog=master;Data Source=") +
                   providerValue(server) + QStringLiteral(";Password=") + providerValue(password);
        case Kind::C:
            break;
    }
    return QStringLiteral(
               "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=") +
           providerValue(catalog_) + QStringLiteral(";Data Source=") + providerValue(server) +
           QStringLiteral(";Password=") + providerValue(password);
}

QString ConnectionShape::odbcText(const QString& server, const QString& password) const {
    return odbcText(server, password, installedBraceRule());
}

BraceRule installedBraceRule() {
#ifdef Q_OS_WIN
    return BraceRule::Doubled;
#else
    // Asks the driver to read a braced value that only the ODBC rule rejects; the address is
    // port 0 of this machine, so a driver of the literal kind fails at once without traffic.
    static const BraceRule rule = [] {
        // A driver of the ODBC rule stops at the syntax; one that reached for a server did not.
        auto tried = [](const QByteArray& state) {
            return state.startsWith("08") || state.startsWith("28") || state.startsWith("42") ||
                   state.startsWith("HYT");
        };
        try {
            db::Connection::open(QStringLiteral(
                "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=0;UID={a}b};PWD=x;TDS_Version=7.1"));
            return BraceRule::Literal;  // it took the value as it stood
        } catch (const db::DbError& e) {
            // The first record says whether it read the value and tried to connect.
            if (tried(e.messages().first().sqlState.toLatin1())) return BraceRule::Literal;
        }
        return BraceRule::Doubled;
    }();
    return rule;
#endif
}

QString ConnectionShape::odbcText(const QString& server, const QString& password,
                                  BraceRule rule) const {
    auto value = [rule](const QString& v) { return odbcValue(v, rule); };
    const ServerAddress address = serverAddress(server);
#ifdef Q_OS_WIN
    QString out = QStringLiteral("DRIVER={SQL Server};SERVER=") +
                  value(address.port.isEmpty() || address.port == QLatin1String("1433")
                            ? address.host
                            : address.host + QLatin1Char(',') + address.port);
#else
    // The driver comes first: the driver manager takes it from the front of the string. A
    // section of freetds.conf is named as such, so the driver reads its settings.
    QString out = QStringLiteral("DRIVER={FreeTDS};") +
                  (address.section ? QStringLiteral("SERVERNAME=") : QStringLiteral("SERVER=")) +
                  value(address.host);
    if (!address.port.isEmpty()) out += QStringLiteral(";PORT=") + address.port;
#endif
    out += QStringLiteral(";UID=sa;PWD=") + value(password) + QStringLiteral(";DATABASE=") +
           value(catalog_);
#ifndef Q_OS_WIN
    out += QStringLiteral(";TDS_Version=7.1");
#endif
    return out;
}

}  // namespace korvid
