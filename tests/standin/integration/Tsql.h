#pragma once
// FreeTDS's tsql run against a test's server, optionally with a FreeTDS configuration of the
// test's own. Every run is bounded in time.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace korvid::test {

struct TsqlRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// A [global] section of the given settings in a file of its own (FREETDSCONF), and a TDSDUMP log
// that shows what the client negotiated.
class FreetdsConfig {
public:
    explicit FreetdsConfig(const QStringList& globalSettings);
    QProcessEnvironment environment() const;
    // The log of the runs so far, emptied when read.
    QString takeDump() const;

private:
    QTemporaryDir dir_;
};

// tsql -H 127.0.0.1 -p PORT (or the target given) -U sa -P PASSWORD -o q, reading sql.
void startTsql(QProcess& p, const QStringList& target, const QString& password,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
TsqlRun finishTsql(QProcess& p, int timeoutMs = 30000);
TsqlRun tsql(quint16 port, const QString& password, const QString& sql,
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QStringList hostAndPort(quint16 port);

}  // namespace korvid::test
