#include "TdsClient.h"

#include <QDeadlineTimer>

#include <algorithm>

#include "protocol/Login7.h"
#include "protocol/PacketWriter.h"
#include "protocol/Utf16.h"

using standin::Bytes;

namespace korvid::test {

bool TdsClient::connectTo(quint16 port, int timeoutMs) {
    socket_.connectToHost(QHostAddress::LocalHost, port);
    return socket_.waitForConnected(timeoutMs);
}

Bytes TdsClient::utf16(const std::string& s) {
    return standin::utf8ToUtf16le(s);
}

Bytes TdsClient::login7(const std::string& user, const std::string& password,
                        const std::string& database, uint32_t packetSize) {
    Bytes b(94, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto entry = [&](size_t at, const Bytes& data) {
        b[at] = static_cast<uint8_t>(b.size() & 0xFF);
        b[at + 1] = static_cast<uint8_t>(b.size() >> 8);
        b[at + 2] = static_cast<uint8_t>((data.size() / 2) & 0xFF);
        b[at + 3] = static_cast<uint8_t>((data.size() / 2) >> 8);
        b.insert(b.end(), data.begin(), data.end());
    };
    put32(4, 0x74000004);  // as a current client would start
    put32(8, packetSize);
    b[24] = 0xE0;
    b[25] = 0x03;
    entry(36, utf16("testhost"));
    entry(40, utf16(user));
    entry(44, standin::obfuscatePassword(utf16(password)));
    entry(48, utf16("korvid-test"));
    entry(52, utf16("127.0.0.1"));
    entry(60, utf16("raw"));
    entry(68, utf16(database));
    put32(0, static_cast<uint32_t>(b.size()));
    return b;
}

std::optional<TdsReply> TdsClient::prelogin(uint8_t encryption) {
    sendMessage(0x12, {0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00, 0x01, 0xFF, 0x09, 0x00,
                       0x00, 0x00, 0x00, 0x00, encryption});
    return readReply();
}

std::optional<TdsReply> TdsClient::login(const std::string& user, const std::string& password,
                                         const std::string& database, uint32_t packetSize) {
    if (!prelogin()) return std::nullopt;
    sendMessage(0x10, login7(user, password, database, packetSize));
    return readReply();
}

void TdsClient::sendRaw(const Bytes& bytes) {
    socket_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    socket_.waitForBytesWritten(5000);
}

void TdsClient::sendMessage(uint8_t type, const Bytes& payload, size_t packetSize) {
    sendRaw(standin::splitIntoPackets(type, payload, packetSize, 0));
}

bool TdsClient::readExactly(char* out, qint64 n, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    qint64 got = 0;
    while (got < n) {
        const qint64 r = socket_.read(out + got, n - got);
        if (r < 0) return false;
        got += r;
        if (got == n) break;
        if (deadline.hasExpired() || socket_.state() != QAbstractSocket::ConnectedState) {
            if (socket_.bytesAvailable() > 0) continue;
            return false;
        }
        socket_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

std::optional<TdsReply> TdsClient::readReply(int timeoutMs) {
    TdsReply reply;
    for (;;) {
        char header[8];
        if (!readExactly(header, 8, timeoutMs)) return std::nullopt;
        const auto* h = reinterpret_cast<const uint8_t*>(header);
        const int length = (h[2] << 8) | h[3];
        if (length < 8) return std::nullopt;
        reply.spids.push_back(static_cast<uint16_t>((h[4] << 8) | h[5]));
        reply.sizes.push_back(static_cast<size_t>(length));
        std::string body(static_cast<size_t>(length - 8), '\0');
        if (!readExactly(body.data(), length - 8, timeoutMs)) return std::nullopt;
        reply.tokens.insert(reply.tokens.end(), body.begin(), body.end());
        if (h[1] & 0x01) return reply;
    }
}

bool TdsClient::closedByServer(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (socket_.state() == QAbstractSocket::UnconnectedState) return true;
        socket_.readAll();
        if (!socket_.waitForReadyRead(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            if (socket_.state() != QAbstractSocket::ConnectedState ||
                socket_.error() == QAbstractSocket::RemoteHostClosedError) {
                return true;
            }
        }
    }
    return false;
}

namespace {

// Walks a 7.1 token stream; calls f(type, start, size) for each token; false on a token it
// cannot size.
template <typename F>
bool walkTokens(const Bytes& t, F f) {
    size_t pos = 0;
    while (pos < t.size()) {
        const uint8_t type = t[pos];
        size_t size = 0;
        switch (type) {
            case 0xFD:
            case 0xFE:
            case 0xFF:
                size = 9;
                break;
            case 0x79:
                size = 5;
                break;
            case 0xAA:
            case 0xAB:
            case 0xAD:
            case 0xE3:
                if (pos + 3 > t.size()) return false;
                size = 3 + (t[pos + 1] | (t[pos + 2] << 8));
                break;
            default:
                return false;  // result sets: callers stop at them
        }
        if (pos + size > t.size()) return false;
        f(type, pos, size);
        pos += size;
    }
    return true;
}

}  // namespace

bool hasDone(const Bytes& tokens, uint16_t status) {
    bool found = false;
    walkTokens(tokens, [&](uint8_t type, size_t at, size_t) {
        if (type >= 0xFD) {
            const uint16_t s = static_cast<uint16_t>(tokens[at + 1] | (tokens[at + 2] << 8));
            found = found || (s & status) == status;
        }
    });
    return found;
}

bool hasMessage(const Bytes& tokens, int32_t number) {
    bool found = false;
    walkTokens(tokens, [&](uint8_t type, size_t at, size_t) {
        if (type == 0xAA || type == 0xAB) {
            const int32_t n = static_cast<int32_t>(tokens[at + 3] | (tokens[at + 4] << 8) |
                                                   (tokens[at + 5] << 16) | (tokens[at + 6] << 24));
            found = found || n == number;
        }
    });
    return found;
}

}  // namespace korvid::test
