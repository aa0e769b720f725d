#include "OdbcClient.h"

namespace korvid::test {

namespace {
constexpr SQLULEN kStatementTimeoutSeconds = 15;
}

OdbcClient::OdbcClient() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
}

OdbcClient::~OdbcClient() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

QString OdbcClient::connectionString(quint16 port, const QString& password, const QString& database,
                                     const QString& extra) {
    return QStringLiteral(
               "DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=%1;UID=sa;PWD=%2;DATABASE=%3;"
               "TDS_Version=7.1;%4")
        .arg(port)
        .arg(password, database, extra);
}

void OdbcClient::collect(SQLSMALLINT type, SQLHANDLE handle) {
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {};
        SQLCHAR text[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &len)))
            break;
        diags_.push_back({QString::fromLatin1(reinterpret_cast<char*>(state)), native,
                          QString::fromUtf8(reinterpret_cast<char*>(text))});
    }
}

bool OdbcClient::hasNative(SQLINTEGER native) const {
    for (const auto& d : diags_) {
        if (d.native == native) return true;
    }
    return false;
}

bool OdbcClient::connect(const QString& cs) {
    diags_.clear();
    const QByteArray s = cs.toUtf8();
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    const SQLRETURN r = SQLDriverConnect(
        dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.constData())), SQL_NTS, out,
        sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    collect(SQL_HANDLE_DBC, dbc_);
    connected_ = SQL_SUCCEEDED(r);
    return connected_;
}

SQLHSTMT OdbcClient::newStatement() {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(kStatementTimeoutSeconds), 0);
    return stmt;
}

void OdbcClient::freeStatement(SQLHSTMT stmt) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

bool OdbcClient::fetchAll(SQLHSTMT stmt, std::vector<QStringList>* rows) {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    if (columns == 0) return true;
    for (;;) {
        const SQLRETURN f = SQLFetch(stmt);
        if (f == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(f)) {
            collect(SQL_HANDLE_STMT, stmt);
            return false;
        }
        QStringList row;
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
            char buf[8192];
            SQLLEN ind = 0;
            SQLGetData(stmt, c, SQL_C_CHAR, buf, sizeof buf, &ind);
            row << (ind == SQL_NULL_DATA ? QStringLiteral("<null>") : QString::fromUtf8(buf));
        }
        if (rows) rows->push_back(row);
    }
}

bool OdbcClient::query(const QString& sql, std::vector<QStringList>* rows) {
    diags_.clear();
    SQLHSTMT stmt = newStatement();
    const QByteArray s = sql.toUtf8();
    const SQLRETURN r =
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.constData())), SQL_NTS);
    collect(SQL_HANDLE_STMT, stmt);
    bool ok = SQL_SUCCEEDED(r) || r == SQL_NO_DATA;
    if (ok && r != SQL_NO_DATA) ok = fetchAll(stmt, rows);
    freeStatement(stmt);
    return ok;
}

bool OdbcClient::execAll(const QString& sql, std::vector<std::vector<QStringList>>* results) {
    diags_.clear();
    SQLHSTMT stmt = newStatement();
    const QByteArray s = sql.toUtf8();
    SQLRETURN r =
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.constData())), SQL_NTS);
    bool ok = true;
    for (int guard = 0; guard < 1000; ++guard) {
        collect(SQL_HANDLE_STMT, stmt);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) ok = false;
        std::vector<QStringList> rows;
        if (SQL_SUCCEEDED(r)) fetchAll(stmt, &rows);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        if (results && columns > 0) results->push_back(rows);
        r = SQLMoreResults(stmt);
    }
    freeStatement(stmt);
    return ok;
}

}  // namespace korvid::test
