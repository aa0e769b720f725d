#pragma once
// Joins the packets of one TDS message (up to the packet with EOM) into one payload.

#include <cstddef>
#include <cstdint>

#include "Bytes.h"
#include "Packet.h"

namespace standin {

struct TdsMessage {
    uint8_t type = 0;
    Bytes payload;
};

class MessageAssembler {
public:
    enum class Result { NeedMore, Message, Ignored, Malformed };

    explicit MessageAssembler(size_t maxMessageSize);

    // A packet of another type in the middle of a message, or a message that grows past the
    // bound, is Malformed. A message the client abandoned with the IGNORE bit is Ignored.
    // Attention packets are always a message of their own; in the middle of another message
    // they drop it.
    Result add(const Packet& packet, TdsMessage& message);

    bool inProgress() const { return inProgress_; }

private:
    size_t maxMessageSize_;
    bool inProgress_ = false;
    bool ignoring_ = false;
    TdsMessage current_;
};

}  // namespace standin
