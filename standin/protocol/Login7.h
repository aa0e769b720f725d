#pragma once
// LOGIN7: the fields of a client's login record the stand-in needs.

#include <cstdint>
#include <optional>
#include <string>

#include "Bytes.h"

namespace standin {

struct Login7 {
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 0;
    uint8_t optionFlags2 = 0;
    std::string hostName;  // all strings UTF-8
    std::string userName;
    std::string password;  // de-obfuscated
    std::string appName;
    std::string serverName;
    std::string library;
    std::string language;
    std::string database;
};

// nullopt when the record is shorter than its fixed part or any offset/length leaves it.
std::optional<Login7> decodeLogin7(const Bytes& payload);

// The client-side obfuscation of the password bytes (swap nibbles, XOR 0xA5), for tests and
// for building logins.
Bytes obfuscatePassword(const Bytes& utf16le);

}  // namespace standin
