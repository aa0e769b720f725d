#pragma once
// UTF-8 (the engine's text) <-> UTF-16LE (the wire's text).

#include <cstddef>
#include <cstdint>
#include <string>

#include "Bytes.h"

namespace standin {

// Invalid UTF-8 sequences become U+FFFD.
Bytes utf8ToUtf16le(const std::string& utf8);

// Number of UTF-16 code units utf8 encodes to.
size_t utf16Length(const std::string& utf8);

// Unpaired surrogates become U+FFFD; an odd trailing byte is dropped.
std::string utf16leToUtf8(const uint8_t* data, size_t byteCount);
inline std::string utf16leToUtf8(const Bytes& b) {
    return utf16leToUtf8(b.data(), b.size());
}

// The first maxUnits code units of a UTF-16LE string, never splitting a surrogate pair.
Bytes truncateUtf16(const Bytes& utf16le, size_t maxUnits);

}  // namespace standin
