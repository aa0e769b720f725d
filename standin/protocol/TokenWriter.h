#pragma once
// Encodes the engine's replies and the login answer as TDS 7.1 token streams.

#include <array>
#include <cstdint>
#include <string>

#include "Bytes.h"
#include "Reply.h"

namespace standin {

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409 with the ignore-case/kana/width bits, sort id 52.
extern const uint8_t kCollation[5];

class TokenWriter {
public:
    // serverName goes into every INFO and ERROR token, as a real server names itself there;
    // programVersion (major, minor, build high, build low) into LOGINACK.
    explicit TokenWriter(std::string serverName = {},
                         std::array<uint8_t, 4> programVersion = {0x08, 0x00, 0x07, 0xF7});

    Bytes encode(const Reply& reply) const;

    // ENVCHANGE database, INFO 5701, ENVCHANGE collation, ENVCHANGE language, INFO 5703,
    // LOGINACK (TDS 7.1, "Microsoft SQL Server", the program version), ENVCHANGE packet
    // size, DONE.
    Bytes loginReply(const std::string& database, uint32_t packetSize) const;

    // The answer to an attention: DONE with the ATTN bit.
    static Bytes attentionAck();

    void appendMessage(Bytes& out, const Message& m) const;
    static void appendResultSet(Bytes& out, const ResultSet& rs);
    static void appendDone(Bytes& out, const Done& d);
    static void appendReturnStatus(Bytes& out, const ReturnStatus& r);
    static void appendEnvChange(Bytes& out, uint8_t type, const std::string& newValue,
                                const std::string& oldValue);

private:
    std::string serverName_;
    std::array<uint8_t, 4> programVersion_;
};

}  // namespace standin
