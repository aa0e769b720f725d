#include "server/Server.h"

#include <QHostInfo>
#include <QTcpSocket>

#include "server/ClientConnection.h"

namespace standin {

Server::Server(Engine& engine, ConnectionSettings settings, QObject* parent)
    : QObject(parent),
      engine_(engine),
      writer_(hostName().toStdString(), engine.version().loginAckVersion()),
      settings_(settings) {
    connect(&tcp_, &QTcpServer::newConnection, this, &Server::acceptPending);
}

Server::~Server() {
    shutdown();
}

QString Server::hostName() {
    return QHostInfo::localHostName().section(QLatin1Char('.'), 0, 0).toUpper();
}

bool Server::listen(quint16 port) {
    return tcp_.listen(QHostAddress::LocalHost, port);
}

void Server::acceptPending() {
    while (QTcpSocket* socket = tcp_.nextPendingConnection()) {
        // Until the engine hands out the session's SPID, replies carry a provisional one.
        nextProvisionalSpid_ = static_cast<quint16>(nextProvisionalSpid_ % 1000 + 1);
        auto* c =
            new ClientConnection(socket, engine_, writer_, settings_, nextProvisionalSpid_, this);
        connections_.insert(c);
        connect(c, &ClientConnection::finished, this, [this, c] { forget(c); });
    }
}

void Server::forget(ClientConnection* c) {
    connections_.remove(c);
    // Later, since the connection may be in the middle of its own call stack.
    c->deleteLater();
}

void Server::shutdown() {
    tcp_.close();
    const auto open = connections_;
    for (ClientConnection* c : open) c->stop();
}

}  // namespace standin
