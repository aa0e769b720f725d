#pragma once
// PRELOGIN: the client's options, the encryption both sides end up with, and the stand-in's
// answer (never MARS).

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "Bytes.h"

namespace standin {

enum PreloginEncryption : uint8_t {
    EncryptOff = 0x00,
    EncryptOn = 0x01,
    EncryptNotSup = 0x02,
    EncryptReq = 0x03,
};

struct PreloginRequest {
    bool hasVersion = false;
    uint32_t clientVersion = 0;
    std::optional<uint8_t> encryption;
    bool asksMars = false;
};

// nullopt when the option table is not terminated or points outside the payload.
std::optional<PreloginRequest> parsePrelogin(const Bytes& payload);

// The server's setting: no certificate (off); a certificate, encryption as the client asks
// (login); "Force Encryption" (required).
enum class ServerEncryption { Off, Login, Required };

// What follows the PRELOGIN answer.
enum class TlsUse {
    None,          // the session runs in the clear
    LoginOnly,     // TLS handshake, LOGIN7 over TLS, then the clear
    WholeSession,  // TLS handshake, then TLS until the connection ends
    Refused,       // the answer is sent, then the server closes the connection
};

struct EncryptionAnswer {
    uint8_t reply = EncryptNotSup;  // the ENCRYPTION byte of the server's PRELOGIN answer
    TlsUse use = TlsUse::None;
};

// The server's half of the client/server encryption table of MS-TDS 2.2.6.5. A client that sends
// no ENCRYPTION option is taken as one that cannot encrypt; the client-certificate bit is ignored.
EncryptionAnswer negotiateEncryption(ServerEncryption setting, std::optional<uint8_t> client);

// The server's product version as PRELOGIN's VERSION carries it: major, minor, build (high
// byte, low byte).
using ProductVersion = std::array<uint8_t, 4>;
constexpr ProductVersion kSql2000Version = {0x08, 0x00, 0x07, 0xF7};  // 8.0.2039, 2000 SP4

// VERSION (2000 SP4 unless told otherwise), ENCRYPTION (NOT_SUP unless told otherwise),
// INSTOPT ok, empty THREADID; never a MARS option.
Bytes buildPreloginReply(uint8_t encryption = EncryptNotSup,
                         const ProductVersion& version = kSql2000Version);

// The product version as the SQL Server Browser names it: "8.00.2039".
std::string productVersionText();

}  // namespace standin
