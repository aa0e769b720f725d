#pragma once
// TDS packet header facts: the 8-byte header in front of every packet on the wire.

#include <cstdint>

#include "Bytes.h"

namespace standin {

enum PacketType : uint8_t {
    PacketSqlBatch = 0x01,
    PacketRpc = 0x03,
    PacketReply = 0x04,
    PacketAttention = 0x06,
    PacketLogin7 = 0x10,
    PacketSspi = 0x11,
    PacketPrelogin = 0x12,
};

enum PacketStatus : uint8_t {
    StatusEom = 0x01,
    StatusIgnore = 0x02,
};

constexpr size_t kHeaderSize = 8;
// The largest packet a TDS 7.1 peer may negotiate.
constexpr size_t kMaxPacketSize = 32767;

struct Packet {
    uint8_t type = 0;
    uint8_t status = 0;
    uint16_t spid = 0;
    uint8_t packetId = 0;
    Bytes payload;
};

}  // namespace standin
