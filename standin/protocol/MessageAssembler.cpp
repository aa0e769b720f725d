#include "MessageAssembler.h"

namespace standin {

MessageAssembler::MessageAssembler(size_t maxMessageSize) : maxMessageSize_(maxMessageSize) {}

MessageAssembler::Result MessageAssembler::add(const Packet& packet, TdsMessage& message) {
    if (packet.type == PacketAttention) {
        // The client gave up on what it was sending: the half-sent request is dropped.
        inProgress_ = false;
        ignoring_ = false;
        current_.payload.clear();
        message.type = PacketAttention;
        message.payload.clear();
        return Result::Message;
    }
    if (inProgress_ && packet.type != current_.type) {
        inProgress_ = false;
        ignoring_ = false;
        current_.payload.clear();
        return Result::Malformed;
    }
    if (!inProgress_) {
        current_.type = packet.type;
        current_.payload.clear();
        inProgress_ = true;
        ignoring_ = false;
    }
    if (current_.payload.size() + packet.payload.size() > maxMessageSize_) {
        inProgress_ = false;
        ignoring_ = false;
        current_.payload = Bytes();
        return Result::Malformed;
    }
    current_.payload.insert(current_.payload.end(), packet.payload.begin(), packet.payload.end());
    if (packet.status & StatusIgnore) ignoring_ = true;
    if (!(packet.status & StatusEom)) return Result::NeedMore;
    inProgress_ = false;
    if (ignoring_) {
        ignoring_ = false;
        current_.payload.clear();
        return Result::Ignored;
    }
    message.type = current_.type;
    message.payload = std::move(current_.payload);
    current_.payload = Bytes();
    return Result::Message;
}

}  // namespace standin
