#pragma once
// PRELOGIN: the client's options and the stand-in's answer (no encryption, no MARS).

#include <cstdint>
#include <optional>

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

// VERSION 8.0.2039, ENCRYPTION NOT_SUP, INSTOPT ok, empty THREADID; never a MARS option.
Bytes buildPreloginReply();

}  // namespace standin
