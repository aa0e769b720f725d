#pragma once
// The client path Korvid itself takes: unixODBC with the FreeTDS driver. Statement time-outs
// keep every call bounded.

#include <QString>
#include <QStringList>

#include <sql.h>
#include <sqlext.h>

#include <vector>

namespace korvid::test {

struct OdbcDiag {
    QString state;
    SQLINTEGER native = 0;
    QString text;
};

class OdbcClient {
public:
    OdbcClient();
    ~OdbcClient();
    OdbcClient(const OdbcClient&) = delete;
    OdbcClient& operator=(const OdbcClient&) = delete;

    static QString connectionString(quint16 port, const QString& password,
                                    const QString& database = QStringLiteral("master"),
                                    const QString& extra = {});
    bool connect(const QString& connectionString);
    // Runs sql; rows of the first result set (all columns as text, NULL as "<null>").
    // Returns false when SQLExecDirect failed; diagnostics() then tells why.
    bool query(const QString& sql, std::vector<QStringList>* rows = nullptr);
    // Runs sql and walks every result with SQLMoreResults, collecting diagnostics of each.
    bool execAll(const QString& sql, std::vector<std::vector<QStringList>>* results = nullptr);

    SQLHSTMT newStatement();
    void freeStatement(SQLHSTMT stmt);
    const std::vector<OdbcDiag>& diagnostics() const { return diags_; }
    bool hasNative(SQLINTEGER native) const;
    SQLHDBC dbc() const { return dbc_; }

    void collect(SQLSMALLINT type, SQLHANDLE handle);

private:
    bool fetchAll(SQLHSTMT stmt, std::vector<QStringList>* rows);
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
    std::vector<OdbcDiag> diags_;
};

}  // namespace korvid::test
