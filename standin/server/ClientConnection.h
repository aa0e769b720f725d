#pragma once
// One client: PRELOGIN, the TLS handshake when encryption was agreed, LOGIN7, then batches,
// attentions and RPCs until the socket closes.

#include <QObject>

#include "engine/Engine.h"
#include "protocol/MessageAssembler.h"
#include "protocol/PacketReader.h"
#include "protocol/Prelogin.h"
#include "server/TlsLayer.h"

class QTcpSocket;

namespace standin {

class TlsContext;
class TokenWriter;

// What every connection of one server shares.
struct ConnectionSettings {
    ServerEncryption encryption = ServerEncryption::Off;
    const TlsContext* tls = nullptr;  // the certificate; set unless encryption is off
};

class ClientConnection : public QObject {
    Q_OBJECT
public:
    ClientConnection(QTcpSocket* socket, Engine& engine, const TokenWriter& writer,
                     const ConnectionSettings& settings, quint16 provisionalSpid,
                     QObject* parent = nullptr);
    ~ClientConnection() override;

    // The one way a connection ends, whoever ends it: the socket is closed at once, the session
    // logged out, and finished() tells the server to forget the connection. Safe to call again.
    void stop();

signals:
    void finished();

private:
    enum class State { AwaitPrelogin, AwaitHandshake, AwaitLogin, LoggedIn, Closing };

    void processInput();
    void handle(const TdsMessage& message);
    void handlePrelogin(const TdsMessage& message);
    void handleHandshake(const TdsMessage& message);
    // A connection whose TLS broke ends, and the reason goes to stderr.
    void dropForTls();
    void handleLogin(const TdsMessage& message);
    void handleBatch(const TdsMessage& message);
    void handleRpc(const TdsMessage& message);
    void send(const Bytes& tokens);
    void closeAfterReply();
    void endSession();

    QTcpSocket* socket_;
    Engine& engine_;
    const TokenWriter& writer_;
    const ConnectionSettings& settings_;
    PacketReader reader_;
    MessageAssembler assembler_;
    TlsLayer tls_;
    bool tlsAfterLogin_ = false;  // encryption for the whole session, not the login only
    Session session_;
    State state_ = State::AwaitPrelogin;
    bool loggedIn_ = false;
    bool stopped_ = false;
    bool processing_ = false;  // a reply's flush reports bytesWritten from inside processInput
    quint16 spid_;
    size_t packetSize_ = 4096;
};

}  // namespace standin
