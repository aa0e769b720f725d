#include "Login7.h"

#include "Utf16.h"

namespace standin {

namespace {

// 7.0 and 7.1 end the fixed part after the attach-db-file entry; 7.2+ add two more fields, but
// every field we read lies in the common 86 bytes.
constexpr size_t kFixedPart = 86;

bool readString(const Bytes& p, size_t limit, size_t entry, std::string& out, bool password) {
    const size_t offset = getU16LE(&p[entry]);
    const size_t chars = getU16LE(&p[entry + 2]);
    if (chars == 0) {
        out.clear();
        return true;
    }
    const size_t bytes = chars * 2;
    if (offset > limit || bytes > limit - offset) return false;
    Bytes raw(p.begin() + static_cast<std::ptrdiff_t>(offset),
              p.begin() + static_cast<std::ptrdiff_t>(offset + bytes));
    if (password) {
        for (uint8_t& b : raw) {
            const uint8_t x = b ^ 0xA5;
            b = static_cast<uint8_t>((x << 4) | (x >> 4));
        }
    }
    out = utf16leToUtf8(raw);
    return true;
}

}  // namespace

std::optional<Login7> decodeLogin7(const Bytes& p) {
    if (p.size() < kFixedPart) return std::nullopt;
    const size_t declared = getU32LE(&p[0]);
    if (declared < kFixedPart || declared > p.size()) return std::nullopt;
    const size_t limit = declared;
    Login7 login;
    login.tdsVersion = getU32LE(&p[4]);
    login.packetSize = getU32LE(&p[8]);
    login.optionFlags2 = p[25];
    const struct {
        size_t entry;
        std::string* field;
        bool password;
    } strings[] = {
        {36, &login.hostName, false}, {40, &login.userName, false},   {44, &login.password, true},
        {48, &login.appName, false},  {52, &login.serverName, false}, {60, &login.library, false},
        {64, &login.language, false}, {68, &login.database, false},
    };
    for (const auto& s : strings) {
        if (!readString(p, limit, s.entry, *s.field, s.password)) return std::nullopt;
    }
    return login;
}

Bytes obfuscatePassword(const Bytes& utf16le) {
    Bytes out = utf16le;
    for (uint8_t& b : out) b = static_cast<uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5);
    return out;
}

}  // namespace standin
