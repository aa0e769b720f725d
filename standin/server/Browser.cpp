#include "server/Browser.h"

#include <QNetworkDatagram>

namespace standin {

Browser::Browser(std::vector<SsrpInstance> instances, QObject* parent)
    : QObject(parent), instances_(std::move(instances)) {
    connect(&udp_, &QUdpSocket::readyRead, this, &Browser::answerPending);
}

bool Browser::listen(quint16 port) {
    return udp_.bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress);
}

void Browser::answerPending() {
    while (udp_.hasPendingDatagrams()) {
        const QNetworkDatagram request = udp_.receiveDatagram(2048);
        const QByteArray data = request.data();
        const auto answer = answerSsrp(Bytes(data.begin(), data.end()), instances_);
        if (!answer || !request.isValid()) continue;
        udp_.writeDatagram(reinterpret_cast<const char*>(answer->data()),
                           static_cast<qint64>(answer->size()), request.senderAddress(),
                           request.senderPort());
    }
}

}  // namespace standin
