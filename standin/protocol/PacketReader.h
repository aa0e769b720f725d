#pragma once
// Cuts a byte stream into TDS packets. Bytes are fed as they arrive; the reader never reads
// past what it was given and never trusts a length it has not bounded.

#include <cstddef>
#include <cstdint>

#include "Bytes.h"
#include "Packet.h"

namespace standin {

class PacketReader {
public:
    enum class Result { NeedMore, Packet, Malformed };

    explicit PacketReader(size_t maxPacketSize = kMaxPacketSize);

    void feed(const uint8_t* data, size_t size);
    void feed(const Bytes& b) { feed(b.data(), b.size()); }

    // Takes the next whole packet out of the buffer. After Malformed the stream cannot be
    // resynchronised and every further call answers Malformed.
    Result next(Packet& packet);

    // The client may send up to the negotiated size from the login on.
    void setMaxPacketSize(size_t size);
    size_t buffered() const { return buffer_.size() - start_; }
    // Hands back the bytes not yet taken as packets and forgets them: after a TLS handshake
    // what follows its last PRELOGIN packet is TLS records, not packets.
    Bytes takeBuffered();

private:
    Bytes buffer_;
    size_t start_ = 0;
    size_t maxPacketSize_;
    bool broken_ = false;
};

}  // namespace standin
