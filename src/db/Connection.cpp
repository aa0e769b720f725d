#include "db/Connection.h"

// clang-format off
#ifdef _WIN32
#include <windows.h>  // the Windows ODBC headers use its types without including it
#endif
#include <sql.h>
#include <sqlext.h>
// clang-format on

#include <utility>
#include <vector>

namespace korvid::db {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the wide ODBC API must use UTF-16 units");

namespace {

// Diagnostic fields the SQL Server drivers add to the standard ones: message state, severity.
constexpr SQLSMALLINT kDiagSsMsgState = -1150;
constexpr SQLSMALLINT kDiagSsSeverity = -1151;

// Bounds the drain loop so that a driver that never reports the end cannot hang the window.
constexpr int kMaxResultSteps = 100000;

const SQLWCHAR* wide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

QString fromWide(const SQLWCHAR* text, qsizetype units) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), units);
}

// "[FreeTDS][SQL Server]Login failed" -> "Login failed": the user needs the server's words.
// Plain string work: it runs on the threads that wait for the server, and a regular expression
// leaves a per-thread stack whose clean-up crashes a MinGW build's thread at its end.
QString withoutDriverPrefixes(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && text.at(at) == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'), at);
        if (close < 0) break;
        at = close + 1;
    }
    if (at == 0) return text;
    while (at < text.size() && text.at(at).isSpace()) ++at;
    return text.mid(at);
}

bool isInformational(const ServerMessage& m) {
    if (m.severity > 0) return m.severity <= 10;
    return m.sqlState.startsWith(QLatin1String("01"));
}

// Reads every diagnostic record of a handle, in order.
QList<ServerMessage> readDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    QList<ServerMessage> out;
    if (handle == SQL_NULL_HANDLE) return out;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLWCHAR> text(1024);
        SQLRETURN rc = SQLGetDiagRecW(type, handle, rec, state, &native, text.data(),
                                      SQLSMALLINT(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(text.size())) {
            text.resize(size_t(length) + 1);
            rc = SQLGetDiagRecW(type, handle, rec, state, &native, text.data(),
                                SQLSMALLINT(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        ServerMessage m;
        m.number = int(native);
        m.sqlState = fromWide(state, 5);
        m.text = withoutDriverPrefixes(
            fromWide(text.data(), std::min<qsizetype>(length, qsizetype(text.size()) - 1)));
        // The SQL Server drivers give the message's state (-1150) and severity (-1151). FreeTDS
        // answers the state field with the severity and has no severity field: so it is read
        // on Linux, and under Wine, where FreeTDS stands behind the Windows driver's name.
        SQLINTEGER msgState = 0;
        SQLINTEGER severity = 0;
        const bool hasState = SQL_SUCCEEDED(
            SQLGetDiagFieldW(type, handle, rec, kDiagSsMsgState, &msgState, 0, nullptr));
        if (SQL_SUCCEEDED(
                SQLGetDiagFieldW(type, handle, rec, kDiagSsSeverity, &severity, 0, nullptr))) {
            m.severity = int(severity);
            if (hasState) m.state = int(msgState);
        } else if (hasState) {
            m.severity = int(msgState);
        }
        out.append(m);
    }
    return out;
}

[[noreturn]] void raise(QList<ServerMessage> all, const QString& fallback) {
    ServerMessage primary;
    bool found = false;
    for (const ServerMessage& m : all) {
        if (!isInformational(m)) {
            primary = m;
            found = true;
            break;
        }
    }
    if (!found && !all.isEmpty()) primary = all.first();
    if (primary.text.isEmpty()) primary.text = fallback;
    if (all.isEmpty()) all.append(primary);
    throw DbError(primary, all);
}

}  // namespace

DbError::DbError(ServerMessage primary, QList<ServerMessage> all)
    : std::runtime_error(primary.text.toStdString()),
      primary_(std::move(primary)),
      all_(std::move(all)) {}

namespace {

// One ODBC environment for the whole process, made on the first connection and kept to the end.
// It holds no connection and no session: every operation still opens its own connection and
// closes it. A fresh environment per connection made the driver manager read its driver list and
// load and unload the driver each time, which cost more than the login itself.
SQLHENV processEnvironment() {
    static const SQLHENV env = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    return env;
}

}  // namespace

struct Connection::Handles {
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;

    ~Handles() {
        if (dbc != SQL_NULL_HDBC) {
            if (connected) SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
    }
};

Connection::Connection() = default;
Connection::~Connection() {
    close();
}
Connection::Connection(Connection&& other) noexcept = default;
Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        h_ = std::move(other.h_);
    }
    return *this;
}

Connection Connection::open(const QString& odbcConnectionString) {
    const SQLHENV env = processEnvironment();
    if (env == SQL_NULL_HENV)
        raise({}, QStringLiteral("无法初始化 ODBC 驱动程序管理器。"));
    auto h = std::make_unique<Handles>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &h->dbc)))
        raise(readDiagnostics(SQL_HANDLE_ENV, env),
              QStringLiteral("无法分配连接句柄。"));
    SQLSetConnectAttrW(h->dbc, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(SQLULEN(kLoginTimeoutSeconds)), 0);

    // The string carries the password: it lives only in this call and is never shown or kept.
    QString in = odbcConnectionString;
    SQLSMALLINT outLength = 0;
    SQLRETURN rc =
        SQLDriverConnectW(h->dbc, nullptr, const_cast<SQLWCHAR*>(wide(in)), SQLSMALLINT(in.size()),
                          nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc))
        raise(readDiagnostics(SQL_HANDLE_DBC, h->dbc),
              QStringLiteral("连接服务器失败。"));
    h->connected = true;

    Connection c;
    c.h_ = std::move(h);
    return c;
}

namespace {

// Reads one column of the current row as text, in chunks, so long values arrive whole.
QString readCell(SQLHSTMT stmt, SQLUSMALLINT column, QList<ServerMessage>* diags) {
    QString value;
    std::vector<SQLWCHAR> buffer(1024);
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer.data(),
                                  SQLLEN(buffer.size() * sizeof(SQLWCHAR)), &indicator);
        if (rc == SQL_NO_DATA) break;
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
            diags->append(readDiagnostics(SQL_HANDLE_STMT, stmt));
            raise(*diags, QStringLiteral("无法读取结果中的值。"));
        }
        if (indicator == SQL_NULL_DATA) return QString();
        const qsizetype capacity = qsizetype(buffer.size()) - 1;  // one unit for the terminator
        qsizetype units = capacity;
        if (indicator != SQL_NO_TOTAL && indicator >= 0)
            units = std::min<qsizetype>(capacity, qsizetype(indicator / sizeof(SQLWCHAR)));
        value += fromWide(buffer.data(), units);
        if (rc == SQL_SUCCESS) break;
        // FreeTDS reports a sql_variant as truncated on every call without moving on; a value
        // whose remaining length fitted into this chunk is whole.
        if (indicator >= 0 && qsizetype(indicator / sizeof(SQLWCHAR)) <= capacity) break;
        // SQL_SUCCESS_WITH_INFO: 01004 means more of the value follows; anything else is kept.
        bool truncated = false;
        for (const ServerMessage& m : readDiagnostics(SQL_HANDLE_STMT, stmt)) {
            if (m.sqlState == QLatin1String("01004"))
                truncated = true;
            else
                diags->append(m);
        }
        if (!truncated) break;
    }
    return value;
}

ResultSet readResultSet(SQLHSTMT stmt, SQLSMALLINT columnCount, QList<ServerMessage>* diags) {
    ResultSet set;
    for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columnCount); ++c) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeColW(stmt, c, name, SQLSMALLINT(std::size(name)), &nameLength, &type, &size,
                        &digits, &nullable);
        set.columns.append(
            fromWide(name, std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1)));
    }
    for (;;) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        if (rc == SQL_SUCCESS_WITH_INFO) diags->append(readDiagnostics(SQL_HANDLE_STMT, stmt));
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
            diags->append(readDiagnostics(SQL_HANDLE_STMT, stmt));
            break;  // the error is raised once the batch is drained
        }
        QStringList row;
        row.reserve(columnCount);
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columnCount); ++c)
            row.append(readCell(stmt, c, diags));
        set.rows.append(row);
    }
    return set;
}

struct Statement {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    ~Statement() {
        if (handle != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};

}  // namespace

BatchResult Connection::execute(const QString& sql, int timeoutSeconds) {
    if (!isOpen()) raise({}, QStringLiteral("连接未打开。"));
    Statement stmt;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &stmt.handle)))
        raise(readDiagnostics(SQL_HANDLE_DBC, h_->dbc), QStringLiteral("无法分配语句句柄。"));
    if (timeoutSeconds > 0)
        SQLSetStmtAttrW(stmt.handle, SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(SQLULEN(timeoutSeconds)), 0);

    QList<ServerMessage> diags;
    bool failed = false;
    BatchResult result;
    QString text = sql;
    SQLRETURN rc =
        SQLExecDirectW(stmt.handle, const_cast<SQLWCHAR*>(wide(text)), SQLINTEGER(text.size()));
    // Every result set and every message of the batch is read, so that an error of a later
    // statement is seen and the connection is left clean. SQL_NO_DATA from the execute only
    // says its first statement touched no rows (some drivers stop there): the rest is still
    // asked for. SQL_NO_DATA from SQLMoreResults is the end.
    bool ended = false;
    for (int step = 0; step < kMaxResultSteps; ++step) {
        if (rc == SQL_NO_DATA) {
            if (step > 0) {
                ended = true;
                break;
            }
            rc = SQLMoreResults(stmt.handle);
            continue;
        }
        if (rc == SQL_INVALID_HANDLE || rc == SQL_NEED_DATA || rc == SQL_STILL_EXECUTING) {
            failed = true;
            break;
        }
        const QList<ServerMessage> stepDiags = readDiagnostics(SQL_HANDLE_STMT, stmt.handle);
        diags.append(stepDiags);
        if (rc == SQL_ERROR) {
            failed = true;
            // A broken link or a call out of sequence ends the batch: nothing more will come.
            bool fatal = stepDiags.isEmpty();
            for (const ServerMessage& m : stepDiags)
                if (m.sqlState.startsWith(QLatin1String("08")) ||
                    m.sqlState.startsWith(QLatin1String("HY")))
                    fatal = true;
            if (fatal) break;
        } else {
            SQLSMALLINT columns = 0;
            if (SQL_SUCCEEDED(SQLNumResultCols(stmt.handle, &columns)) && columns > 0)
                result.resultSets.append(readResultSet(stmt.handle, columns, &diags));
        }
        rc = SQLMoreResults(stmt.handle);
    }
    // A driver that never reports the end has not shown that the batch succeeded.
    if (!ended && !failed) failed = true;

    for (const ServerMessage& m : diags) {
        if (isInformational(m))
            result.infos.append(m);
        else
            failed = true;
    }
    if (failed) raise(diags, QStringLiteral("语句执行失败。"));
    return result;
}

int Connection::serverMajorVersion() {
    if (!isOpen()) return 0;
    // "08.00.2039": the driver has it from the login, nothing is sent.
    SQLWCHAR text[64] = {};
    SQLSMALLINT length = 0;
    int major = 0;
    if (SQL_SUCCEEDED(
            SQLGetInfoW(h_->dbc, SQL_DBMS_VER, text, SQLSMALLINT(sizeof text), &length))) {
        const qsizetype units = std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)),
                                                    qsizetype(std::size(text)) - 1);
        major = majorOf(fromWide(text, units));
    }
    return major > 0 ? major : productMajorVersion();
}

int Connection::productMajorVersion() {
    // SERVERPROPERTY gives a sql_variant: "8.00.2039", "9.00.5000.00", "15.0.4236.7".
    const BatchResult r =
        execute(QStringLiteral("SELECT CONVERT(nvarchar(128), SERVERPROPERTY('ProductVersion'))"));
    if (r.resultSets.isEmpty() || r.resultSets.first().rows.isEmpty()) return 0;
    return majorOf(r.resultSets.first().rows.first().value(0));
}

int Connection::majorOf(const QString& version) {
    return version.section(QLatin1Char('.'), 0, 0).trimmed().toInt();
}

void Connection::close() {
    h_.reset();
}

bool Connection::isOpen() const {
    return h_ && h_->connected;
}

}  // namespace korvid::db
