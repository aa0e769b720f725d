#include "access/TlsProbe.h"

#include <QRandomGenerator>

#include "access/ConnectionShape.h"
#include "access/FreeTdsConfig.h"

#ifndef Q_OS_WIN
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <chrono>
#endif

namespace korvid {

namespace {

constexpr char kPreloginType = 0x12;
constexpr int kHeaderSize = 8;

// A TDS packet: type, status EOM, length, spid 0, packet 1, window 0.
QByteArray packet(char type, const QByteArray& payload) {
    const int length = kHeaderSize + int(payload.size());
    QByteArray out;
    out.append(type).append(char(0x01));
    out.append(char(length >> 8)).append(char(length & 0xFF));
    out.append(QByteArray("\x00\x00\x01\x00", 4));
    return out + payload;
}

void put16(QByteArray& out, int value) {
    out.append(char((value >> 8) & 0xFF)).append(char(value & 0xFF));
}

// A length-prefixed block: 2 bytes of length (3 for a handshake message), then the bytes.
QByteArray block(const QByteArray& body, int lengthBytes = 2) {
    QByteArray out;
    if (lengthBytes == 3) out.append(char((body.size() >> 16) & 0xFF));
    put16(out, int(body.size()));
    return out + body;
}

QByteArray extension(int type, const QByteArray& body) {
    QByteArray out;
    put16(out, type);
    return out + block(body);
}

int at(const QByteArray& bytes, qsizetype i) {
    return i < bytes.size() ? quint8(bytes[i]) : -1;
}

int at16(const QByteArray& bytes, qsizetype i) {
    return i + 1 < bytes.size() ? (at(bytes, i) << 8) | at(bytes, i + 1) : -1;
}

QString tlsName(int version) {
    switch (version) {
        case 0x0300:
            return QStringLiteral("SSL 3.0");
        case 0x0301:
            return QStringLiteral("TLS 1.0");
        case 0x0302:
            return QStringLiteral("TLS 1.1");
        case 0x0303:
            return QStringLiteral("TLS 1.2");
    }
    return QStringLiteral("0x%1").arg(version, 4, 16, QLatin1Char('0'));
}

QString suiteName(int suite) {
    static const std::pair<int, const char*> names[] = {
        {0x0004, "TLS_RSA_WITH_RC4_128_MD5"},
        {0x0005, "TLS_RSA_WITH_RC4_128_SHA"},
        {0x000A, "TLS_RSA_WITH_3DES_EDE_CBC_SHA"},
        {0x002F, "TLS_RSA_WITH_AES_128_CBC_SHA"},
        {0x0035, "TLS_RSA_WITH_AES_256_CBC_SHA"},
        {0x009C, "TLS_RSA_WITH_AES_128_GCM_SHA256"},
        {0x009D, "TLS_RSA_WITH_AES_256_GCM_SHA384"},
        {0xC013, "TLS_ECDHE_RSA_WITH_AES_128_CBC_SHA"},
        {0xC014, "TLS_ECDHE_RSA_WITH_AES_256_CBC_SHA"},
        {0xC02F, "TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256"},
        {0xC030, "TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384"},
    };
    for (const auto& [id, name] : names)
        if (id == suite) return QString::fromLatin1(name);
    return QStringLiteral("0x%1").arg(suite, 4, 16, QLatin1Char('0'));
}

QString alertName(int alert) {
    switch (alert) {
        case 40:
            return QStringLiteral("handshake_failure");
        case 70:
            return QStringLiteral("protocol_version");
        case 71:
            return QStringLiteral("insufficient_security");
    }
    return QString::number(alert);
}

}  // namespace

QByteArray preloginProbePacket() {
    // VERSION (6 bytes at 11) and ENCRYPTION (1 byte at 17), then the terminator between them.
    QByteArray payload("\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF", 11);
    payload.append(QByteArray(6, '\0'));  // a client version of none in particular
    payload.append(char(0x00));           // ENCRYPT_OFF: encrypt the login, as FreeTDS asks
    return packet(kPreloginType, payload);
}

QByteArray clientHelloPacket() {
    // TLS 1.2 at most, and the suites of GnuTLS's NORMAL priority for TLS 1.0 to 1.2.
    static const int suites[] = {0xC02B, 0xC02F, 0xC02C, 0xC030, 0xCCA9, 0xCCA8,
                                 0xC009, 0xC013, 0xC00A, 0xC014, 0x009C, 0x009D,
                                 0x002F, 0x0035, 0x009E, 0x009F, 0x0033, 0x0039};
    QByteArray list;
    for (int s : suites) put16(list, s);
    QByteArray random(32, '\0');
    for (char& c : random) c = char(QRandomGenerator::global()->bounded(256));
    const QByteArray groups = block(QByteArray("\x00\x1D\x00\x17\x00\x18\x00\x19", 8));
    const QByteArray signatures = block(QByteArray(
        "\x08\x04\x08\x05\x08\x06\x04\x01\x05\x01\x06\x01\x04\x03\x05\x03\x06\x03\x02\x01\x02\x03",
        22));
    const QByteArray extensions = extension(0x000A, groups) +
                                  extension(0x000B, QByteArray("\x01\x00", 2)) +
                                  extension(0x000D, signatures) + extension(0x0017, QByteArray()) +
                                  extension(0xFF01, QByteArray(1, '\0'));
    QByteArray hello("\x03\x03", 2);
    hello += random;
    hello.append(char(0));  // no session to resume
    hello += block(list);
    hello.append(QByteArray("\x01\x00", 2));  // no compression
    hello += block(extensions);
    const QByteArray message = QByteArray(1, char(0x01)) + block(hello, 3);
    return packet(kPreloginType, QByteArray("\x16\x03\x01", 3) + block(message));
}

std::optional<TlsProbeAnswer> readPreloginAnswer(const QByteArray& packetBytes) {
    const QByteArray payload = packetBytes.mid(kHeaderSize);
    if (at(packetBytes, 0) != 0x04) return std::nullopt;
    TlsProbeAnswer answer;
    bool sawEncryption = false;
    for (qsizetype pos = 0; at(payload, pos) != 0xFF; pos += 5) {
        const int token = at(payload, pos), offset = at16(payload, pos + 1),
                  length = at16(payload, pos + 3);
        if (token < 0 || offset < 0 || length < 0 || offset + length > payload.size())
            return std::nullopt;
        if (token == 0x00 && length >= 4) {
            answer.serverVersion = QStringLiteral("%1.%2.%3")
                                       .arg(at(payload, offset))
                                       .arg(at(payload, offset + 1))
                                       .arg(at16(payload, offset + 2));
        } else if (token == 0x01 && length >= 1) {
            answer.encryption = at(payload, offset) & 0x7F;
            sawEncryption = true;
        }
    }
    if (!sawEncryption) answer.encryption = 2;
    return answer;
}

void readHandshakeAnswer(const QByteArray& packetBytes, TlsProbeAnswer& answer) {
    // One TLS record at the start of the packet's payload: the server's hello or an alert.
    const QByteArray record = packetBytes.mid(kHeaderSize);
    const QByteArray fragment = record.mid(5);
    if (at(record, 0) == 0x15) {
        answer.alert = at(fragment, 1);
    } else if (at(record, 0) == 0x16 && at(fragment, 0) == 0x02) {
        answer.tlsVersion = at16(fragment, 4);
        const int sessionLength = at(fragment, 38);
        if (sessionLength >= 0) answer.suite = at16(fragment, 39 + sessionLength);
    }
}

QString tlsFailureReason(const TlsProbeAnswer& a) {
    if (a.encryption == 2) return QString();
    const QString server = QStringLiteral("服务器（SQL Server %1）").arg(a.serverVersion);
    const QString readme = QStringLiteral("详见 README 的“Servers that speak only TLS 1.0”。");
    if (a.tlsVersion == 0x0301) {
        return QStringLiteral(
                   "TLS 握手失败：%1只说 %2（它选用 %3），本机的 FreeTDS 没有接受它。"
                   "可在 freetds.conf 中为该服务器设一节，写入“enable tls v1 = yes”；")
                   .arg(server, tlsName(a.tlsVersion), suiteName(a.suite)) +
               readme;
    }
    if (a.tlsVersion > 0) {
        return QStringLiteral(
                   "%1的 TLS 握手正常（%2，%3）：登录是在本机一侧中断的，"
                   "例如 freetds.conf 的“ca file”不信任服务器的证书。")
            .arg(server, tlsName(a.tlsVersion), suiteName(a.suite));
    }
    QString why = QStringLiteral("TLS 握手失败：%1没有回答 TLS 握手。").arg(server);
    if (a.alert >= 0) {
        why = QStringLiteral(
                  "TLS 握手失败：%1拒绝了本机提供的全部 TLS 版本和加密套件"
                  "（TLS 警报 %2 %3）。")
                  .arg(server)
                  .arg(a.alert)
                  .arg(alertName(a.alert));
    }
    // FreeTDS follows a server that forces encryption whatever its own setting says.
    if (a.encryption == 3)
        return why + QStringLiteral("该服务器强制加密，只能在服务器一侧解决；") + readme;
    return why +
           QStringLiteral(
               "可在 freetds.conf 中为该服务器设一节并写入“encryption = off”，"
               "但登录信息连同 sa 密码将以明文传送；") +
           readme;
}

bool brokeOffDuringLogin(const db::DbError& error) {
    bool broke = false;
    for (const db::ServerMessage& m : error.messages()) {
        if (m.number == 20002) broke = true;
        // Any message of the server's own means it answered the login.
        if (m.number > 0 && (m.number < 20000 || m.number >= 21000)) return false;
    }
    return broke;
}

#ifdef Q_OS_WIN

std::optional<TlsProbeAnswer> probeTls(const QString&, quint16, int) {
    return std::nullopt;
}

QString explainBrokenLogin(const QString&) {
    return QString();
}

#else

namespace {

using Clock = std::chrono::steady_clock;

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

bool waitFor(int fd, short events, Clock::time_point deadline) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, msLeft(deadline));
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

// A non-blocking TCP connection to host:port, made before the deadline; -1 when none.
int connectTo(const QString& host, quint16 port, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints,
                      &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int error = 0;
        socklen_t length = sizeof error;
        const bool connected =
            ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ||
            (errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline) &&
             ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0);
        if (!connected) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    return fd;
}

bool sendAll(int fd, const QByteArray& bytes, Clock::time_point deadline) {
    for (qsizetype sent = 0; sent < bytes.size();) {
        if (!waitFor(fd, POLLOUT, deadline)) return false;
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0 && errno != EAGAIN && errno != EINTR) return false;
        if (n > 0) sent += n;
    }
    return true;
}

// One whole TDS packet; empty when the server closes or the time is up first.
QByteArray readPacket(int fd, Clock::time_point deadline) {
    QByteArray in;
    qsizetype wanted = kHeaderSize;
    while (in.size() < wanted) {
        if (!waitFor(fd, POLLIN, deadline)) return QByteArray();
        char buffer[4096];
        const ssize_t n =
            ::recv(fd, buffer, size_t(std::min<qsizetype>(sizeof buffer, wanted - in.size())), 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return QByteArray();
        if (n > 0) in.append(buffer, n);
        if (in.size() >= kHeaderSize) wanted = std::max<qsizetype>(at16(in, 2), kHeaderSize);
    }
    return in;
}

}  // namespace

std::optional<TlsProbeAnswer> probeTls(const QString& host, quint16 port, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const Socket socket(connectTo(host, port, deadline));
    if (socket.fd() < 0 || !sendAll(socket.fd(), preloginProbePacket(), deadline))
        return std::nullopt;
    std::optional<TlsProbeAnswer> answer = readPreloginAnswer(readPacket(socket.fd(), deadline));
    if (!answer || answer->encryption == 2) return answer;
    if (sendAll(socket.fd(), clientHelloPacket(), deadline))
        readHandshakeAnswer(readPacket(socket.fd(), deadline), *answer);
    return answer;
}

QString explainBrokenLogin(const QString& serverName) {
    constexpr int kProbeMs = 3000;
    ServerAddress address = serverAddress(serverName);
    if (address.section) {
        address.port = freeTdsSectionValue(address.host, QStringLiteral("port"));
        address.host = freeTdsSectionValue(address.host, QStringLiteral("host"));
        if (address.port.isEmpty()) address.port = QStringLiteral("1433");
    }
    bool ok = false;
    const quint16 port = address.port.toUShort(&ok);
    if (!ok || address.host.isEmpty()) return QString();  // an instance: the browser knows
    const std::optional<TlsProbeAnswer> answer = probeTls(address.host, port, kProbeMs);
    return answer ? tlsFailureReason(*answer) : QString();
}

#endif

TlsLoginFailure::TlsLoginFailure(const db::DbError& driver, QString why)
    : db::DbError(driver.primary(), driver.messages()), why_(std::move(why)) {}

}  // namespace korvid
