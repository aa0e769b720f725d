#pragma once
// One client: PRELOGIN, LOGIN7, then batches, attentions and RPCs until the socket closes.

#include <QObject>

#include "engine/Engine.h"
#include "protocol/MessageAssembler.h"
#include "protocol/PacketReader.h"

class QTcpSocket;

namespace standin {

class TokenWriter;

class ClientConnection : public QObject {
    Q_OBJECT
public:
    ClientConnection(QTcpSocket* socket, Engine& engine, const TokenWriter& writer,
                     quint16 provisionalSpid, QObject* parent = nullptr);
    ~ClientConnection() override;

    // The one way a connection ends, whoever ends it: the socket is closed at once, the session
    // logged out, and finished() tells the server to forget the connection. Safe to call again.
    void stop();

signals:
    void finished();

private:
    enum class State { AwaitPrelogin, AwaitLogin, LoggedIn, Closing };

    void processInput();
    void handle(const TdsMessage& message);
    void handlePrelogin(const TdsMessage& message);
    void handleLogin(const TdsMessage& message);
    void handleBatch(const TdsMessage& message);
    void handleRpc(const TdsMessage& message);
    void send(const Bytes& tokens);
    void closeAfterReply();
    void endSession();

    QTcpSocket* socket_;
    Engine& engine_;
    const TokenWriter& writer_;
    PacketReader reader_;
    MessageAssembler assembler_;
    Session session_;
    State state_ = State::AwaitPrelogin;
    bool loggedIn_ = false;
    bool stopped_ = false;
    bool processing_ = false;  // a reply's flush reports bytesWritten from inside processInput
    quint16 spid_;
    size_t packetSize_ = 4096;
};

}  // namespace standin
