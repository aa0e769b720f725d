// A test that dies must not leave its tds-standin behind: the server would keep its port and,
// holding an inherited output pipe, keep ctest waiting for the end of the test's output.

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

namespace {

// A server gone or only waiting to be reaped counts as ended.
bool ended(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0) return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text.at(close + 2) == 'Z';
}

// "pipe:[inode]" for a pipe; QFileInfo would resolve that as a path.
QByteArray fdTarget(qint64 pid, int fd) {
    char target[256] = {};
    const QByteArray link = QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(fd).toLocal8Bit();
    const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
    return n > 0 ? QByteArray(target, static_cast<int>(n)) : QByteArray();
}

}  // namespace

#ifdef __linux__
TEST(StandinProcess, DiesWithAKilledTestAndHoldsNoneOfItsOutputPipes) {
    QProcess probe;
    probe.start(QStringLiteral(KORVID_ORPHAN_PROBE_PATH), {});
    ASSERT_TRUE(probe.waitForStarted(5000));
    for (int i = 0; i < 300 && !probe.canReadLine(); ++i) probe.waitForReadyRead(100);
    const QByteArray line = probe.readLine().trimmed();
    ASSERT_TRUE(line.startsWith("server ")) << line.constData();
    const qint64 server = line.mid(7).toLongLong();
    ASSERT_GT(server, 0);

    // The probe's stdout and stderr are our pipes; the server must write elsewhere.
    const QByteArray probeOut = fdTarget(probe.processId(), 1);
    const QByteArray probeErr = fdTarget(probe.processId(), 2);
    ASSERT_FALSE(probeErr.isEmpty());
    for (int fd : {1, 2}) {
        const QByteArray target = fdTarget(server, fd);
        EXPECT_NE(target, probeOut) << "fd " << fd << " " << target.constData();
        EXPECT_NE(target, probeErr) << "fd " << fd << " " << target.constData();
    }

    probe.write("die\n");
    ASSERT_TRUE(probe.waitForFinished(10000));
    EXPECT_EQ(probe.exitStatus(), QProcess::CrashExit);

    bool gone = false;
    for (int i = 0; i < 100 && !(gone = ended(server)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(gone) << "tds-standin " << server << " outlived its test";
    if (!gone) ::kill(static_cast<pid_t>(server), SIGKILL);
}
#endif
