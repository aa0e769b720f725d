#pragma once
// A bare TDS 7.1 client over a blocking socket, for what the real client libraries never send:
// garbage, cut packets, late attentions, RPCs. Every wait is bounded.

#include <QTcpSocket>

#include <optional>
#include <string>
#include <vector>

#include "protocol/Bytes.h"

namespace korvid::test {

struct TdsReply {
    standin::Bytes tokens;        // the joined payload of the reply's packets
    std::vector<uint16_t> spids;  // one per packet
    std::vector<size_t> sizes;    // packet lengths, header included
};

class TdsClient {
public:
    bool connectTo(quint16 port, int timeoutMs = 5000);
    // PRELOGIN announcing this ENCRYPTION value (NOT_SUP unless told); the server's answer.
    std::optional<TdsReply> prelogin(uint8_t encryption = 0x02);
    // PRELOGIN and LOGIN7; the login reply's tokens, or nullopt when the server sent nothing.
    std::optional<TdsReply> login(const std::string& user, const std::string& password,
                                  const std::string& database = {}, uint32_t packetSize = 4096);
    void sendRaw(const standin::Bytes& bytes);
    void sendMessage(uint8_t type, const standin::Bytes& payload, size_t packetSize = 4096);
    void sendBatch(const std::string& sql) { sendMessage(0x01, utf16(sql)); }
    void sendAttention() { sendMessage(0x06, {}); }
    // One whole reply message (up to EOM).
    std::optional<TdsReply> readReply(int timeoutMs = 5000);
    // True when the server closed the connection within the time.
    bool closedByServer(int timeoutMs = 5000);

    static standin::Bytes utf16(const std::string& s);
    static standin::Bytes login7(const std::string& user, const std::string& password,
                                 const std::string& database, uint32_t packetSize);

private:
    bool readExactly(char* out, qint64 n, int timeoutMs);
    QTcpSocket socket_;
};

// Whether a token stream holds a DONE-family token with all bits of status set.
bool hasDone(const standin::Bytes& tokens, uint16_t status);
// Whether a token stream holds an ERROR or INFO token with this number.
bool hasMessage(const standin::Bytes& tokens, int32_t number);

}  // namespace korvid::test
