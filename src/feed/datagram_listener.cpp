#include "feed/datagram_listener.h"

#include "feed/clock_feed.h"

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
        // A clock is its address and port: two on one machine stay apart.
        emit received(datagram.data(),
                      clockName(addressName(datagram.senderAddress()), quint16(datagram.senderPort())));
    }
}

} // namespace periodix::feed
