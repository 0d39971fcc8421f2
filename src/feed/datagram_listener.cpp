#include "feed/datagram_listener.h"

#include "feed/clock_feed.h"

#include <QNetworkDatagram>

namespace periodix::feed {

using namespace periodix::protocol;

DatagramListener::DatagramListener(QObject *parent) : QObject(parent)
{
    connect(&clock_, &QUdpSocket::readyRead, this, [this] { readPending(clock_, false); });
    connect(&feed_, &QUdpSocket::readyRead, this, [this] { readPending(feed_, true); });
}

bool DatagramListener::bind(QUdpSocket &socket, const QHostAddress &address, quint16 port)
{
    return socket.bind(address, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
}

void DatagramListener::readPending(QUdpSocket &socket, bool feed)
{
    while (socket.hasPendingDatagrams()) {
        // Far more than any datagram of the clock or its feed; a longer one
        // arrives cut and is ignored.
        const QNetworkDatagram datagram = socket.receiveDatagram(feed ? LongestHallFeed + SignatureSize + 1 : 256);
        // A clock is its address and port: two on one machine stay apart.
        const QString sender = ClockId::of(datagram.senderAddress(), quint16(datagram.senderPort())).name();
        if (feed)
            emit feedReceived(datagram.data(), sender);
        else
            emit received(datagram.data(), sender);
    }
}

} // namespace periodix::feed
