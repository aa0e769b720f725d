#include "PacketReader.h"

#include <algorithm>

namespace standin {

PacketReader::PacketReader(size_t maxPacketSize)
    : maxPacketSize_(std::clamp<size_t>(maxPacketSize, kHeaderSize, 65535)) {}

void PacketReader::setMaxPacketSize(size_t size) {
    maxPacketSize_ = std::clamp<size_t>(size, kHeaderSize, 65535);
}

void PacketReader::feed(const uint8_t* data, size_t size) {
    if (broken_ || size == 0 || data == nullptr) return;
    // Drop what was consumed before growing, so a long session does not keep its history.
    if (start_ > 0 && (start_ >= 65536 || start_ == buffer_.size())) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

Bytes PacketReader::takeBuffered() {
    Bytes rest(buffer_.begin() + static_cast<std::ptrdiff_t>(start_), buffer_.end());
    buffer_.clear();
    start_ = 0;
    return rest;
}

PacketReader::Result PacketReader::next(Packet& packet) {
    if (broken_) return Result::Malformed;
    const size_t available = buffer_.size() - start_;
    if (available < kHeaderSize) return Result::NeedMore;
    const uint8_t* h = buffer_.data() + start_;
    const size_t length = getU16BE(h + 2);
    if (length < kHeaderSize || length > maxPacketSize_) {
        broken_ = true;
        buffer_.clear();
        start_ = 0;
        return Result::Malformed;
    }
    if (available < length) return Result::NeedMore;
    packet.type = h[0];
    packet.status = h[1];
    packet.spid = getU16BE(h + 4);
    packet.packetId = h[6];
    packet.payload.assign(h + kHeaderSize, h + length);
    start_ += length;
    return Result::Packet;
}

}  // namespace standin
