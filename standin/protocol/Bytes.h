#pragma once
// Byte buffers and the little/big-endian writers the TDS encoders share.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin {

using Bytes = std::vector<uint8_t>;

inline void putU8(Bytes& out, uint8_t v) {
    out.push_back(v);
}
inline void putU16LE(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void putU16BE(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v & 0xFF));
}
inline void putU32LE(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}
inline void putBytes(Bytes& out, const Bytes& b) {
    out.insert(out.end(), b.begin(), b.end());
}

inline uint16_t getU16LE(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint16_t getU16BE(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t getU32LE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace standin
