#include "server/ClientConnection.h"

#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "protocol/Batch.h"
#include "protocol/Login7.h"
#include "protocol/Packet.h"
#include "protocol/PacketWriter.h"
#include "protocol/Prelogin.h"
#include "protocol/Rpc.h"
#include "protocol/TokenWriter.h"
#include "tls/TlsContext.h"

namespace standin {

namespace {

// No request of ours comes near this; a client that sends more is not a client we serve.
constexpr size_t kMaxMessage = 4 * 1024 * 1024;
// Input is not read while this much output waits, so a client that never reads cannot make
// the server buffer without end.
constexpr qint64 kMaxPendingOutput = 8 * 1024 * 1024;

}  // namespace

ClientConnection::ClientConnection(QTcpSocket* socket, Engine& engine, const TokenWriter& writer,
                                   const ConnectionSettings& settings, quint16 provisionalSpid,
                                   QObject* parent)
    : QObject(parent),
      socket_(socket),
      engine_(engine),
      writer_(writer),
      settings_(settings),
      reader_(kMaxPacketSize),
      assembler_(kMaxMessage),
      tls_(*socket, reader_),
      spid_(provisionalSpid) {
    socket_->setParent(this);
    // While output is held back, unread input stays in the kernel rather than in our memory.
    socket_->setReadBufferSize(1024 * 1024);
    // Each request waits for its reply: a small reply held back for coalescing stalls the client.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, &ClientConnection::processInput);
    connect(socket_, &QTcpSocket::bytesWritten, this, &ClientConnection::processInput);
    connect(socket_, &QTcpSocket::disconnected, this, &ClientConnection::stop);
    // A reset connection may end without a clean disconnect; the session is released either way.
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (socket_->state() == QAbstractSocket::UnconnectedState) stop();
    });
    // Data that arrived before the signals were connected.
    if (socket_->bytesAvailable() > 0) {
        QMetaObject::invokeMethod(
            this, [this] { processInput(); }, Qt::QueuedConnection);
    }
}

ClientConnection::~ClientConnection() {
    endSession();
}

void ClientConnection::stop() {
    state_ = State::Closing;
    if (stopped_) return;
    stopped_ = true;
    endSession();
    // No signal of the socket's may reach a connection that is on its way out.
    socket_->disconnect(this);
    socket_->abort();
    emit finished();
}

void ClientConnection::endSession() {
    if (!loggedIn_) return;
    loggedIn_ = false;
    try {
        engine_.logout(session_);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-standin: logout of session %d failed: %s\n", session_.spid,
                     e.what());
    }
}

void ClientConnection::processInput() {
    // The loop below reads everything that is there, so a nested call has nothing to add.
    if (processing_) return;
    processing_ = true;
    const struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{processing_};
    while (state_ != State::Closing) {
        if (socket_->bytesToWrite() > kMaxPendingOutput) return;  // resumed by bytesWritten
        Packet packet;
        const PacketReader::Result r = reader_.next(packet);
        if (r == PacketReader::Result::Malformed) {
            stop();
            return;
        }
        if (r == PacketReader::Result::NeedMore) {
            const TlsLayer::Input input = tls_.pull();
            if (input == TlsLayer::Input::Broken) dropForTls();
            if (input != TlsLayer::Input::Fed) return;
            continue;
        }
        TdsMessage message;
        switch (assembler_.add(packet, message)) {
            case MessageAssembler::Result::NeedMore:
            case MessageAssembler::Result::Ignored:
                break;
            case MessageAssembler::Result::Malformed:
                stop();
                return;
            case MessageAssembler::Result::Message:
                handle(message);
                break;
        }
    }
}

void ClientConnection::handle(const TdsMessage& message) {
    switch (state_) {
        case State::AwaitPrelogin:
            if (message.type == PacketPrelogin) {
                handlePrelogin(message);
                return;
            }
            // Clients that skip PRELOGIN, unless the server insists on encryption.
            if (message.type == PacketLogin7 &&
                settings_.encryption != ServerEncryption::Required) {
                handleLogin(message);
                return;
            }
            break;
        case State::AwaitHandshake:
            if (message.type == PacketPrelogin) {
                handleHandshake(message);
                return;
            }
            break;
        case State::AwaitLogin:
            if (message.type == PacketLogin7) {
                handleLogin(message);
                return;
            }
            break;
        case State::LoggedIn:
            if (message.type == PacketSqlBatch) {
                handleBatch(message);
                return;
            }
            if (message.type == PacketAttention) {
                // Also after the reply went out: the client waits for this acknowledgement.
                send(TokenWriter::attentionAck());
                return;
            }
            if (message.type == PacketRpc) {
                handleRpc(message);
                return;
            }
            break;
        case State::Closing:
            return;
    }
    // A message that does not belong in this state: this is not a client we can serve.
    stop();
}

void ClientConnection::handlePrelogin(const TdsMessage& message) {
    const auto request = parsePrelogin(message.payload);
    if (!request) {
        stop();
        return;
    }
    const EncryptionAnswer answer = negotiateEncryption(settings_.encryption, request->encryption);
    send(buildPreloginReply(answer.reply, engine_.version().loginAckVersion()));
    switch (answer.use) {
        case TlsUse::None:
            state_ = State::AwaitLogin;
            return;
        case TlsUse::Refused:
            // As a server that forces encryption does with a client that cannot encrypt.
            closeAfterReply();
            return;
        case TlsUse::LoginOnly:
        case TlsUse::WholeSession:
            tlsAfterLogin_ = answer.use == TlsUse::WholeSession;
            tls_.startHandshake(*settings_.tls);
            state_ = State::AwaitHandshake;
            return;
    }
}

void ClientConnection::handleHandshake(const TdsMessage& message) {
    Bytes reply;
    const TlsChannel::Step step = tls_.handshake(message.payload, reply);
    // The server's handshake records travel inside PRELOGIN packets, an alert included.
    if (!reply.empty()) tls_.push(splitIntoPackets(PacketPrelogin, reply, packetSize_, spid_));
    if (step == TlsChannel::Step::Failed) {
        dropForTls();
        return;
    }
    if (step == TlsChannel::Step::Done) {
        tls_.switchOn();
        state_ = State::AwaitLogin;
    }
}

void ClientConnection::dropForTls() {
    std::fprintf(stderr, "tds-standin: a connection ends: %s\n", tls_.error().c_str());
    stop();
}

void ClientConnection::handleLogin(const TdsMessage& message) {
    // Encryption for the login only ends with the LOGIN7 message: the answer goes in the clear.
    if (!tlsAfterLogin_) tls_.switchOff();
    const auto login = decodeLogin7(message.payload);
    if (!login) {
        stop();
        return;
    }
    // The client may ask for 512..32767 bytes per packet; 0 means the server's default.
    const size_t asked = login->packetSize == 0 ? 4096 : login->packetSize;
    const size_t size = std::clamp<size_t>(asked, 512, kMaxPacketSize);
    LoginOutcome outcome;
    try {
        outcome = engine_.login(login->userName, login->password, login->database, session_);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-standin: login failed in the engine: %s\n", e.what());
        outcome.accepted = false;
        outcome.refusal = {
            Message{18456, 1, 14, "Login failed for user '" + login->userName + "'.", "", 0},
            Done{Done::Kind::Done, DoneError, 0, 0}};
    }
    if (!outcome.accepted) {
        ensureFinalDone(outcome.refusal);
        send(writer_.encode(outcome.refusal));
        closeAfterReply();
        return;
    }
    loggedIn_ = true;
    state_ = State::LoggedIn;
    if (session_.spid > 0 && session_.spid <= 0xFFFF) spid_ = static_cast<quint16>(session_.spid);
    // The login reply itself still travels in 4096-byte packets; the new size applies after it.
    send(writer_.loginReply(session_.database, static_cast<uint32_t>(size)));
    packetSize_ = size;
    // Clients send in the negotiated size; a smaller size is not held against them.
    reader_.setMaxPacketSize(std::max<size_t>(size, 4096));
}

void ClientConnection::handleBatch(const TdsMessage& message) {
    const std::string sql = batchText(message.payload);
    Reply reply;
    try {
        reply = engine_.executeBatch(session_, sql);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-standin: batch failed in the engine: %s\n", e.what());
        reply = {
            Message{50000, 1, 16, std::string("tds-standin internal error: ") + e.what(), "", 1},
            Done{Done::Kind::Done, DoneError, 0, 0}};
    }
    ensureFinalDone(reply);
    send(writer_.encode(reply));
}

void ClientConnection::handleRpc(const TdsMessage& message) {
    // Remote procedure calls are not served; the client gets an error instead of silence.
    const std::string name = rpcProcedureName(message.payload);
    const Reply reply{
        Message{2812, 62, 16, "Could not find stored procedure '" + name + "'.", "", 1},
        Done{Done::Kind::DoneProc, DoneError, 0, 0}};
    send(writer_.encode(reply));
}

void ClientConnection::send(const Bytes& tokens) {
    if (!tls_.push(splitIntoPackets(PacketReply, tokens, packetSize_, spid_))) dropForTls();
}

void ClientConnection::closeAfterReply() {
    state_ = State::Closing;
    // disconnectFromHost writes what is pending first, then closes.
    socket_->disconnectFromHost();
}

}  // namespace standin
