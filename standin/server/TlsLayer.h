#pragma once
// The layer between a client's socket and the TDS packet reader. Off, bytes pass as they are.
// On, what arrives is TLS records to decrypt and what leaves is encrypted. The connection
// switches it by its state: the handshake runs inside PRELOGIN packets above the reader, then the
// layer goes on; after the login it goes off again when only the login was to be encrypted.

#include <memory>
#include <string>

#include "protocol/Bytes.h"
#include "tls/TlsChannel.h"

class QTcpSocket;

namespace standin {

class PacketReader;
class TlsContext;

class TlsLayer {
public:
    TlsLayer(QTcpSocket& socket, PacketReader& reader);
    ~TlsLayer();
    TlsLayer(const TlsLayer&) = delete;
    TlsLayer& operator=(const TlsLayer&) = delete;

    enum class Input { Fed, Nothing, Broken };
    // Moves what the client sent into the packet reader: Nothing when no more is there yet,
    // Broken when a record cannot be read (error() says why).
    Input pull();
    // Sends bytes to the client; false when TLS cannot encrypt them.
    bool push(const Bytes& bytes);

    void startHandshake(const TlsContext& context);
    // The payload of one PRELOGIN packet of the handshake in; the records to answer with, to be
    // sent inside PRELOGIN packets while the layer is still off, in reply.
    TlsChannel::Step handshake(const Bytes& records, Bytes& reply);
    // After the handshake: what the reader holds past the last PRELOGIN packet is records.
    void switchOn();
    // Back to the clear: the bytes that followed the last record go to the reader as they are.
    void switchOff();
    bool on() const { return on_; }

    std::string error() const { return tls_ ? tls_->error() : std::string(); }

private:
    QTcpSocket& socket_;
    PacketReader& reader_;
    std::unique_ptr<TlsChannel> tls_;
    bool on_ = false;
};

}  // namespace standin
