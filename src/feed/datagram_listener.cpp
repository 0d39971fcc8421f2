#include "feed/datagram_listener.h"

#include <QNetworkDatagram>

namespace periodix::feed {

DatagramListener::DatagramListener(QObject *parent) : QObject(parent)
{
    connect(&socket_, &QUdpSocket::readyRead, this, &DatagramListener::readPending);
}

bool DatagramListener::listen(const QHostAddress &address, quint16 port)
{
    return socket_.bind(address, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
}

void DatagramListener::readPending()
{
    while (socket_.hasPendingDatagrams()) {
        // Far more than any clock datagram; a longer one arrives cut and is ignored.
        const QNetworkDatagram datagram = socket_.receiveDatagram(256);
        QHostAddress sender = datagram.senderAddress();
        bool ok = false;
        const quint32 v4 = sender.toIPv4Address(&ok);
        emit received(datagram.data(), ok ? QHostAddress(v4).toString() : sender.toString());
    }
}

} // namespace periodix::feed
