// Through the real ODBC driver manager and driver: what the server receives at login is what
// the user typed, and a server that is not there fails the open quickly with an error.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <thread>

#include "NoServer.h"
#include "access/ConnectionShape.h"
#include "db/Connection.h"

using namespace korvid;

namespace {

// Listens on a free loopback port, answers PRELOGIN without encryption, and reads the user,
// password and database out of each LOGIN7, then drops the connection.
class LoginCapture {
public:
    struct Login {
        QString user, password, database;
    };

    LoginCapture() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 8);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~LoginCapture() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }
    QList<Login> logins() {
        QMutexLocker lock(&mutex_);
        return logins_;
    }

private:
    static bool readFull(int fd, unsigned char* p, size_t n) {
        while (n > 0) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 5000) <= 0) return false;
            ssize_t got = ::recv(fd, p, n, 0);
            if (got <= 0) return false;
            p += got;
            n -= size_t(got);
        }
        return true;
    }
    static bool readPacket(int fd, std::vector<unsigned char>* body) {
        unsigned char h[8];
        if (!readFull(fd, h, 8)) return false;
        const size_t length = (size_t(h[2]) << 8) | h[3];
        if (length < 8) return false;
        body->resize(length - 8);
        return readFull(fd, body->data(), body->size());
    }
    static QString field(const std::vector<unsigned char>& b, size_t at, bool password) {
        if (b.size() < at + 4) return QStringLiteral("<short>");
        const size_t offset = b[at] | (b[at + 1] << 8);
        const size_t chars = b[at + 2] | (b[at + 3] << 8);
        if (b.size() < offset + 2 * chars) return QStringLiteral("<short>");
        QString out;
        for (size_t i = 0; i < chars; ++i) {
            unsigned char lo = b[offset + 2 * i], hi = b[offset + 2 * i + 1];
            if (password) {  // the login's scrambling: xor 0xA5, then swap the nibbles
                lo ^= 0xA5;
                hi ^= 0xA5;
                lo = static_cast<unsigned char>((lo << 4) | (lo >> 4));
                hi = static_cast<unsigned char>((hi << 4) | (hi >> 4));
            }
            out += QChar(char16_t(lo | (hi << 8)));
        }
        return out;
    }
    void run() {
        while (!stop_) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0) continue;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            std::vector<unsigned char> body;
            if (readPacket(c, &body)) {
                const unsigned char reply[] = {4, 1, 0,  26, 0, 0,    1, 0, 0, 0,    11, 0, 6,
                                               1, 0, 17, 0,  1, 0xFF, 8, 0, 7, 0xF7, 0,  0, 2};
                ::send(c, reply, sizeof reply, MSG_NOSIGNAL);
                if (readPacket(c, &body)) {
                    QMutexLocker lock(&mutex_);
                    logins_.append(
                        {field(body, 40, false), field(body, 44, true), field(body, 68, false)});
                }
            }
            ::close(c);
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    QMutex mutex_;
    QList<Login> logins_;
};

}  // namespace

TEST(DriverPath, PasswordsAndNamesReachTheServerAsTyped) {
    const QStringList texts = {
        QStringLiteral("plain"),
        QStringLiteral("x;Initial Catalog=model"),
        QStringLiteral("a=b;c"),
        QStringLiteral("q'\"z"),
        QStringLiteral("a}b"),
        QStringLiteral("}}"),
        QStringLiteral("{x"),
        QStringLiteral("ends}"),
        QStringLiteral(" pad "),
        QStringLiteral("中文密码；"),
        QStringLiteral("x};DRIVER={Nope}"),
        QString(),
    };
    LoginCapture server;
    const QString address = QStringLiteral("127.0.0.1,%1").arg(server.port());
    QStringList sent;
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        const QString database = text.isEmpty() ? QStringLiteral("master") : text;
        try {
            db::Connection::open(ConnectionShape::database(database).odbcText(address, text));
            ADD_FAILURE() << "the capture server accepted a login";
        } catch (const db::DbError& e) {
            if (text.contains(QLatin1String("};")) && installedBraceRule() == BraceRule::Literal) {
                EXPECT_EQ(e.primary().sqlState, QStringLiteral("HY000"));
                continue;  // refused before anything was sent
            }
            sent.append(text);
        }
    }
    const auto logins = server.logins();
    ASSERT_EQ(logins.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(sent[i].toStdString());
        EXPECT_EQ(logins[i].user, QStringLiteral("sa"));
        EXPECT_EQ(logins[i].password, sent[i]);
        EXPECT_EQ(logins[i].database, sent[i].isEmpty() ? QStringLiteral("master") : sent[i]);
    }
}

TEST(DriverPath, NothingListeningFailsQuicklyWithAnError) {
    const int port = test::closedPort();

    QElapsedTimer timer;
    timer.start();
    const QString odbc = ConnectionShape::login().odbcText(QStringLiteral("127.0.0.1,%1").arg(port),
                                                           QStringLiteral("pw"));
    EXPECT_THROW(db::Connection::open(odbc), db::DbError);
    EXPECT_LT(timer.elapsed(), 10000);

    db::Connection closed;
    EXPECT_FALSE(closed.isOpen());
    EXPECT_THROW(closed.execute(QStringLiteral("select 1")), db::DbError);
}
