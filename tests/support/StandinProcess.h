#pragma once
// Runs tds-standin for a test: on a free loopback port, with its own data directory, stopped
// (SIGTERM, then kill) when the test ends, and killed with the test process if that dies first.
// With KORVID_STANDIN set ("127.0.0.1,PORT", its password in KORVID_STANDIN_PASSWORD), a server
// already running is used instead, with its password: suites under Wine cannot manage a Linux
// process. Extra arguments cannot be had from that server: start() then fails.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;
class QTemporaryFile;

namespace korvid::test {

class StandinProcess {
public:
    // An empty dataDir means a temporary directory, removed at the end.
    explicit StandinProcess(QString saPassword = QStringLiteral("pw"), QString dataDir = {});
    ~StandinProcess();
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    // Appended to the command line of every later start (--encryption, --browser, ...).
    void setExtraArguments(QStringList arguments);
    // Runs tds-standin --data DIR --port 0 --sa-password PW and the extra arguments, and waits
    // for its listening line.
    bool start(int timeoutMs = 15000);
    // SIGTERM, wait, kill if needed.
    void stop();
    // stop + start on the same data directory (the port changes).
    bool restart(int timeoutMs = 15000);
    // Kills the server without warning (SIGKILL), as a crash would.
    void kill();

    bool running() const;
    // The server's process id while it runs, else 0 (for tests that kill it from elsewhere).
    qint64 pid() const;
    quint16 port() const { return port_; }
    // The UDP port its browser answers on, when started with --browser; else 0.
    quint16 browserPort() const { return browserPort_; }
    QString server() const;  // "127.0.0.1,PORT" as an administrator would type it
    QString dataDir() const { return dataDir_; }
    QString password() const { return password_; }
    static QString binaryPath();
    // A server given by KORVID_STANDIN: start() takes its address, stop() leaves it running.
    static bool external();
    // Makes a process started through `process` get SIGKILL when this process dies (Linux), so
    // no server outlives an aborted test.
    static void dieWithParent(QProcess& process);

private:
    // Drops the ended process and copies what it wrote to stderr into the test's log.
    void forget();

    QString password_;
    QString dataDir_;
    QStringList extraArguments_;
    std::unique_ptr<QTemporaryDir> tempDir_;
    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QTemporaryFile> errorLog_;
    quint16 port_ = 0;
    quint16 browserPort_ = 0;
};

}  // namespace korvid::test
