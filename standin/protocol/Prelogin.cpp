#include "Prelogin.h"

#include <cstdio>

namespace standin {

namespace {
constexpr uint8_t kVersion = 0x00;
constexpr uint8_t kEncryption = 0x01;
constexpr uint8_t kInstOpt = 0x02;
constexpr uint8_t kThreadId = 0x03;
constexpr uint8_t kMars = 0x04;
constexpr uint8_t kTerminator = 0xFF;
}  // namespace

std::optional<PreloginRequest> parsePrelogin(const Bytes& payload) {
    PreloginRequest request;
    size_t pos = 0;
    for (;;) {
        if (pos >= payload.size()) return std::nullopt;  // no terminator
        const uint8_t token = payload[pos];
        if (token == kTerminator) break;
        if (pos + 5 > payload.size()) return std::nullopt;
        const size_t offset = getU16BE(&payload[pos + 1]);
        const size_t length = getU16BE(&payload[pos + 3]);
        if (offset + length > payload.size()) return std::nullopt;
        const uint8_t* data = payload.data() + offset;
        switch (token) {
            case kVersion:
                if (length >= 4) {
                    request.hasVersion = true;
                    request.clientVersion = (uint32_t{data[0]} << 24) | (uint32_t{data[1]} << 16) |
                                            (uint32_t{data[2]} << 8) | data[3];
                }
                break;
            case kEncryption:
                if (length >= 1) request.encryption = data[0];
                break;
            case kMars:
                request.asksMars = length >= 1 && data[0] != 0;
                break;
            default:
                break;  // instance, thread id and later options need no answer of ours
        }
        pos += 5;
    }
    return request;
}

EncryptionAnswer negotiateEncryption(ServerEncryption setting, std::optional<uint8_t> client) {
    if (setting == ServerEncryption::Off) return {EncryptNotSup, TlsUse::None};
    const uint8_t asked = client ? static_cast<uint8_t>(*client & 0x7F) : uint8_t{EncryptNotSup};
    const bool refuses = asked == EncryptNotSup || asked > EncryptReq;
    const bool insists = asked == EncryptOn || asked == EncryptReq;
    if (setting == ServerEncryption::Login) {
        if (refuses) return {EncryptNotSup, TlsUse::None};
        return insists ? EncryptionAnswer{EncryptOn, TlsUse::WholeSession}
                       : EncryptionAnswer{EncryptOff, TlsUse::LoginOnly};
    }
    if (refuses) return {EncryptReq, TlsUse::Refused};
    return {static_cast<uint8_t>(insists ? EncryptOn : EncryptReq), TlsUse::WholeSession};
}

std::string productVersionText() {
    const unsigned build = (unsigned{kSql2000Version[2]} << 8) | kSql2000Version[3];
    char text[32];
    std::snprintf(text, sizeof text, "%u.%02u.%u", unsigned{kSql2000Version[0]},
                  unsigned{kSql2000Version[1]}, build);
    return text;
}

Bytes buildPreloginReply(uint8_t encryption, const ProductVersion& version) {
    Bytes out;
    // Four option entries of 5 bytes and the terminator put the data at offset 21.
    const uint16_t versionAt = 21, encryptionAt = 27, instAt = 28, threadAt = 29;
    putU8(out, kVersion);
    putU16BE(out, versionAt);
    putU16BE(out, 6);
    putU8(out, kEncryption);
    putU16BE(out, encryptionAt);
    putU16BE(out, 1);
    putU8(out, kInstOpt);
    putU16BE(out, instAt);
    putU16BE(out, 1);
    putU8(out, kThreadId);
    putU16BE(out, threadAt);
    putU16BE(out, 0);
    putU8(out, kTerminator);
    for (uint8_t b : version) putU8(out, b);
    putU16BE(out, 0);  // sub-build
    putU8(out, encryption);
    putU8(out, 0x00);
    return out;
}

}  // namespace standin
