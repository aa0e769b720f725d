#include "server/TlsLayer.h"

#include <QTcpSocket>

#include "protocol/PacketReader.h"
#include "tls/TlsContext.h"

namespace standin {

TlsLayer::TlsLayer(QTcpSocket& socket, PacketReader& reader) : socket_(socket), reader_(reader) {}

TlsLayer::~TlsLayer() = default;

TlsLayer::Input TlsLayer::pull() {
    if (on_) {
        Bytes plaintext;
        switch (tls_->nextPlaintext(plaintext)) {
            case TlsChannel::Step::Done:
                reader_.feed(plaintext);
                return Input::Fed;
            case TlsChannel::Step::Failed:
                return Input::Broken;
            case TlsChannel::Step::More:
                break;
        }
    }
    const QByteArray data = socket_.read(64 * 1024);
    if (data.isEmpty()) return Input::Nothing;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    const auto size = static_cast<size_t>(data.size());
    if (on_) {
        tls_->receive(bytes, size);
    } else {
        reader_.feed(bytes, size);
    }
    return Input::Fed;
}

bool TlsLayer::push(const Bytes& bytes) {
    if (!on_) {
        socket_.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qint64>(bytes.size()));
    } else {
        if (!tls_->send(bytes)) return false;
        const Bytes records = tls_->takeOutgoing();
        socket_.write(reinterpret_cast<const char*>(records.data()),
                      static_cast<qint64>(records.size()));
    }
    // Out now rather than at the event loop's next turn; what the kernel does not take yet
    // follows as the socket becomes writable.
    socket_.flush();
    return true;
}

void TlsLayer::startHandshake(const TlsContext& context) {
    tls_ = std::make_unique<TlsChannel>(context);
    on_ = false;
}

TlsChannel::Step TlsLayer::handshake(const Bytes& records, Bytes& reply) {
    tls_->receive(records.data(), records.size());
    const TlsChannel::Step step = tls_->handshake();
    reply = tls_->takeOutgoing();
    return step;
}

void TlsLayer::switchOn() {
    // Whatever trailed the client's last handshake record inside its packet is not TLS data;
    // clients drop it too.
    tls_->takeUnread();
    const Bytes early = reader_.takeBuffered();
    tls_->receive(early.data(), early.size());
    on_ = true;
}

void TlsLayer::switchOff() {
    if (!tls_) return;
    reader_.feed(tls_->takeUnread());
    tls_.reset();
    on_ = false;
}

}  // namespace standin
