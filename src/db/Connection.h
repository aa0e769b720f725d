#pragma once
// A thin RAII layer over the ODBC C API: open with a connection string, run a batch, read its
// result sets as rows of text cells, close. Standing where ADO stood.

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

namespace korvid::db {

// One diagnostic record of the driver: the server's number, severity and state where it has them.
struct ServerMessage {
    int number = 0;
    int severity = 0;  // 0 where the driver does not tell
    int state = 0;     // 0 where the driver does not tell (FreeTDS)
    QString sqlState;
    QString text;  // the server's message without the driver's "[FreeTDS][SQL Server]" prefixes
};

// A failed open or batch. primary() is the first error of the batch (severity > 10 where known).
class DbError : public std::runtime_error {
public:
    DbError(ServerMessage primary, QList<ServerMessage> all);
    const ServerMessage& primary() const { return primary_; }
    const QList<ServerMessage>& messages() const { return all_; }
    int number() const { return primary_.number; }
    QString serverText() const { return primary_.text; }

private:
    ServerMessage primary_;
    QList<ServerMessage> all_;
};

struct ResultSet {
    QStringList columns;
    QList<QStringList> rows;  // NULL reads as an empty text
};

struct BatchResult {
    QList<ResultSet> resultSets;
    QList<ServerMessage> infos;  // informational messages (severity <= 10), in order
};

class Connection {
public:
    Connection();
    ~Connection();  // closes
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // How long a login may wait for the server.
    static constexpr int kLoginTimeoutSeconds = 15;

    // Connects with an ODBC connection string. Throws DbError.
    static Connection open(const QString& odbcConnectionString);

    // Runs the text as one batch and drains every result set and message to the end.
    // Any server error in the batch throws DbError (after the batch has been drained).
    // A time-out above 0 fails a batch the server has not finished answering by then.
    BatchResult execute(const QString& sql, int timeoutSeconds = 0);

    // The server's major version (8 for SQL Server 2000, 16 for 2022) as the login told the
    // driver; when the driver cannot say, as the server answers on this connection. 0 when
    // neither tells. Throws DbError when the server refuses the question.
    int serverMajorVersion();
    // The major version of SERVERPROPERTY('ProductVersion'), asked of the server.
    int productMajorVersion();
    // The number before the first dot of a version text ("09.00.5000" gives 9); 0 for none.
    static int majorOf(const QString& version);

    void close();
    bool isOpen() const;

private:
    struct Handles;
    std::unique_ptr<Handles> h_;
};

}  // namespace korvid::db
