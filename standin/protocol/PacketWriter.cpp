#include "PacketWriter.h"

#include <algorithm>

#include "Packet.h"

namespace standin {

Bytes splitIntoPackets(uint8_t type, const Bytes& message, size_t packetSize, uint16_t spid) {
    const size_t size = std::clamp<size_t>(packetSize, 512, kMaxPacketSize);
    const size_t room = size - kHeaderSize;
    Bytes out;
    out.reserve(message.size() + (message.size() / room + 1) * kHeaderSize);
    size_t pos = 0;
    uint8_t packetId = 1;
    do {
        const size_t n = std::min(room, message.size() - pos);
        const bool last = pos + n == message.size();
        putU8(out, type);
        putU8(out, last ? StatusEom : 0);
        putU16BE(out, static_cast<uint16_t>(n + kHeaderSize));
        putU16BE(out, spid);
        putU8(out, packetId++);
        putU8(out, 0);
        out.insert(out.end(), message.begin() + static_cast<std::ptrdiff_t>(pos),
                   message.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < message.size());
    return out;
}

}  // namespace standin
