#include "server/Server.h"

#include <QHostInfo>
#include <QTcpSocket>

#include "server/ClientConnection.h"

namespace standin {

Server::Server(Engine& engine, QObject* parent)
    : QObject(parent),
      engine_(engine),
      writer_(QHostInfo::localHostName().section(QLatin1Char('.'), 0, 0).toUpper().toStdString(),
              engine.version().loginAckVersion()) {
    connect(&tcp_, &QTcpServer::newConnection, this, &Server::acceptPending);
}

Server::~Server() {
    shutdown();
}

bool Server::listen(quint16 port) {
    return tcp_.listen(QHostAddress::LocalHost, port);
}

void Server::acceptPending() {
    while (QTcpSocket* socket = tcp_.nextPendingConnection()) {
        // Until the engine hands out the session's SPID, replies carry a provisional one.
        nextProvisionalSpid_ = static_cast<quint16>(nextProvisionalSpid_ % 1000 + 1);
        auto* c = new ClientConnection(socket, engine_, writer_, nextProvisionalSpid_, this);
        connections_.insert(c);
        connect(c, &ClientConnection::finished, this, [this, c] {
            connections_.remove(c);
            c->deleteLater();
        });
    }
}

void Server::shutdown() {
    tcp_.close();
    const auto open = connections_;
    connections_.clear();
    for (ClientConnection* c : open) {
        c->closeNow();
        delete c;
    }
}

}  // namespace standin
