#pragma once
// The SQL Server Browser's part of the stand-in: answers SSRP requests on a UDP port of
// 127.0.0.1 (1434, the protocol's own) with the instances this server serves.

#include <QObject>
#include <QUdpSocket>

#include <vector>

#include "protocol/Ssrp.h"

namespace standin {

class Browser : public QObject {
    Q_OBJECT
public:
    explicit Browser(std::vector<SsrpInstance> instances, QObject* parent = nullptr);

    // Takes the port for this process alone: a second browser on it fails here rather than
    // sharing the port and answering half the requests.
    bool listen(quint16 port);
    quint16 port() const { return udp_.localPort(); }
    QString errorString() const { return udp_.errorString(); }

private:
    void answerPending();

    std::vector<SsrpInstance> instances_;
    QUdpSocket udp_;
};

}  // namespace standin
