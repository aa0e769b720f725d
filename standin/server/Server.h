#pragma once
// Accepts connections on 127.0.0.1 and gives each its own ClientConnection and Session.

#include <QObject>
#include <QSet>
#include <QTcpServer>

#include "protocol/TokenWriter.h"
#include "server/ClientConnection.h"

namespace standin {

class Engine;

class Server : public QObject {
    Q_OBJECT
public:
    Server(Engine& engine, ConnectionSettings settings, QObject* parent = nullptr);
    ~Server() override;

    bool listen(quint16 port);
    quint16 port() const { return tcp_.serverPort(); }
    // The name the server goes by in its messages and its browser's answers: the host's.
    static QString hostName();
    QString errorString() const { return tcp_.errorString(); }

    // Closes every connection (each session is logged out) and stops accepting.
    void shutdown();

private:
    void acceptPending();
    // A connection that stopped leaves the set of open ones.
    void forget(ClientConnection* c);

    Engine& engine_;
    TokenWriter writer_;
    const ConnectionSettings settings_;
    QTcpServer tcp_;
    QSet<ClientConnection*> connections_;
    quint16 nextProvisionalSpid_ = 0;
};

}  // namespace standin
