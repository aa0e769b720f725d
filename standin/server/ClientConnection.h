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

    // Drops the connection at once, logging the session out.
    void closeNow();

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
    void onDisconnected();

    QTcpSocket* socket_;
    Engine& engine_;
    const TokenWriter& writer_;
    PacketReader reader_;
    MessageAssembler assembler_;
    Session session_;
    State state_ = State::AwaitPrelogin;
    bool loggedIn_ = false;
    bool finished_ = false;
    bool processing_ = false;  // a reply's flush reports bytesWritten from inside processInput
    quint16 spid_;
    size_t packetSize_ = 4096;
};

}  // namespace standin
