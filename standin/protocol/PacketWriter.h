#pragma once
// Splits one reply message into packets of the negotiated size.

#include <cstddef>
#include <cstdint>

#include "Bytes.h"

namespace standin {

// Every packet carries the type and the session's SPID; the last one has EOM. An empty message
// is one header-only packet. packetSize is clamped to 512..32767.
Bytes splitIntoPackets(uint8_t type, const Bytes& message, size_t packetSize, uint16_t spid);

}  // namespace standin
