#include "StandinProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace korvid::test {

StandinProcess::StandinProcess(QString saPassword, QString dataDir)
    : password_(std::move(saPassword)), dataDir_(std::move(dataDir)) {
    if (dataDir_.isEmpty()) {
        tempDir_ = std::make_unique<QTemporaryDir>();
        dataDir_ = tempDir_->path();
    }
}

StandinProcess::~StandinProcess() {
    stop();
}

void StandinProcess::setExtraArguments(QStringList arguments) {
    extraArguments_ = std::move(arguments);
}

QString StandinProcess::binaryPath() {
    return QStringLiteral(KORVID_TDS_STANDIN_PATH);
}

bool StandinProcess::external() {
    return qEnvironmentVariableIsSet("KORVID_STANDIN");
}

bool StandinProcess::running() const {
    if (external()) return port_ != 0;
    return process_ && process_->state() != QProcess::NotRunning;
}

qint64 StandinProcess::pid() const {
    // A stand-in started outside the test has no process here.
    return process_ && process_->state() != QProcess::NotRunning ? process_->processId() : 0;
}

QString StandinProcess::server() const {
    return QStringLiteral("127.0.0.1,%1").arg(port_);
}

void StandinProcess::dieWithParent(QProcess& process) {
#ifdef __linux__
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        // Runs in the child between fork and exec: only async-signal-safe calls.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before the line above took effect.
        if (::getppid() != parent) ::_exit(127);
    });
#else
    (void)process;
#endif
}

bool StandinProcess::start(int timeoutMs) {
    stop();
    if (external()) {
        // The shared server plays what it was started as: a test that asks for more must say
        // so, not pass or fail against another server than it meant.
        if (!extraArguments_.isEmpty()) {
            std::fprintf(stderr, "a stand-in with %s cannot be had: the suite shares %s\n",
                         qPrintable(extraArguments_.join(QLatin1Char(' '))),
                         qPrintable(qEnvironmentVariable("KORVID_STANDIN")));
            return false;
        }
        password_ = qEnvironmentVariable("KORVID_STANDIN_PASSWORD");
        port_ = static_cast<quint16>(
            qEnvironmentVariable("KORVID_STANDIN").section(QLatin1Char(','), 1).toUInt());
        return port_ != 0;
    }
    process_ = std::make_unique<QProcess>();
    dieWithParent(*process_);
    // The server's complaints belong in the test's log, but through a file of our own: an
    // inherited stderr would be ctest's pipe, held open by a server that outlives the test.
    errorLog_ = std::make_unique<QTemporaryFile>();
    if (errorLog_->open()) {
        errorLog_->close();
        process_->setStandardErrorFile(errorLog_->fileName());
    } else {
        process_->setStandardErrorFile(QProcess::nullDevice());
    }
    process_->start(binaryPath(),
                    QStringList{QStringLiteral("--data"), dataDir_, QStringLiteral("--port"),
                                QStringLiteral("0"), QStringLiteral("--sa-password"), password_} +
                        extraArguments_);
    if (!process_->waitForStarted(timeoutMs)) {
        std::fprintf(stderr, "tds-standin did not start: %s\n",
                     qPrintable(process_->errorString()));
        forget();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray seen;
    while (!deadline.hasExpired()) {
        if (process_->canReadLine()) {
            const QByteArray line = process_->readLine().trimmed();
            const QByteArray prefix("listening on 127.0.0.1:");
            const QByteArray browser("browser on 127.0.0.1:");
            if (line.startsWith(browser))
                browserPort_ =
                    static_cast<quint16>(line.mid(browser.size()).split('/')[0].toUInt());
            if (line.startsWith(prefix)) {
                bool ok = false;
                const uint port = line.mid(prefix.size()).toUInt(&ok);
                if (ok && port > 0 && port <= 65535) {
                    port_ = static_cast<quint16>(port);
                    return true;
                }
            }
            seen += line + '\n';
            continue;
        }
        if (process_->state() == QProcess::NotRunning) break;
        process_->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    std::fprintf(stderr, "tds-standin did not report its port; it said: %s\n", seen.constData());
    stop();
    return false;
}

void StandinProcess::stop() {
    if (external()) port_ = 0;
    if (!process_) return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(10000)) {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
    forget();
}

void StandinProcess::kill() {
    if (!process_) return;
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(5000);
    }
    forget();
}

void StandinProcess::forget() {
    process_.reset();
    port_ = 0;
    browserPort_ = 0;
    if (!errorLog_) return;
    QFile log(errorLog_->fileName());
    if (log.open(QIODevice::ReadOnly)) {
        const QByteArray said = log.readAll();
        if (!said.isEmpty())
            std::fwrite(said.constData(), 1, static_cast<size_t>(said.size()), stderr);
    }
    errorLog_.reset();
}

bool StandinProcess::restart(int timeoutMs) {
    stop();
    return start(timeoutMs);
}

}  // namespace korvid::test
