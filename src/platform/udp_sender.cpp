#include "platform/udp_sender.h"

#include "error_reporting/runtime_error.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <sys/socket.h>

namespace periodix {

namespace {
// The socket control's own error numbers.
constexpr qint32 ErrInvalidPropertyValue = 380;
constexpr qint32 ErrProtocolNotSupported = 10043;
constexpr qint32 ErrAddressNotAvailable = 10049;
constexpr qint32 ErrNetworkUnreachable = 10051;
} // namespace

std::optional<quint32> parseDottedAddress(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        uint value = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    return address;
}

void DatagramSender::setProtocol(int protocol)
{
    if (protocol != ProtocolUdp)
        raiseError(ErrProtocolNotSupported, QStringLiteral("Protocol not supported"));
    protocol_ = protocol;
}

void DatagramSender::setRemotePort(int port)
{
    if (port < 0 || port > 65535)
        raiseError(ErrInvalidPropertyValue, QStringLiteral("Invalid property value"));
    remotePort_ = port;
}

void DatagramSender::sendData(const QByteArray &text)
{
    sendBytes(static_cast<quint16>(remotePort_), text); // port 0 is refused there
}

void DatagramSender::sendBytes(quint16 port, const QByteArray &payload)
{
    const std::optional<quint32> address = parseDottedAddress(remoteHost_);
    if (!address || port == 0)
        raiseError(ErrAddressNotAvailable, QStringLiteral("Address is not available"));
    transmit(*address, port, payload);
}

quint32 broadcastOnInterface(quint32 chosen, const QList<InterfaceNetwork> &networks)
{
    if ((chosen & 0xff) != 0xff)
        return chosen; // a host, not a network's broadcast
    // The narrowest network that holds it: a /24 beside a /16 keeps its own.
    const InterfaceNetwork *holder = nullptr;
    for (const InterfaceNetwork &network : networks) {
        if ((chosen & network.netmask) == (network.address & network.netmask)
            && (!holder || network.netmask > holder->netmask))
            holder = &network;
    }
    return holder && holder->netmask != 0 ? (holder->address & holder->netmask) | ~holder->netmask : chosen;
}

UdpSender::UdpSender(MonotonicClock &clock) : clock_(clock) {}

const QList<InterfaceNetwork> &UdpSender::networks()
{
    constexpr qint64 ReadAgainNs = 5'000'000'000;
    if (networksRead_ && clock_.nowNs() - networksReadNs_ < ReadAgainNs)
        return networks_;
    networks_.clear();
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces()) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        for (const QNetworkAddressEntry &entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                networks_.append({entry.ip().toIPv4Address(), entry.netmask().toIPv4Address()});
        }
    }
    networksRead_ = true;
    networksReadNs_ = clock_.nowNs();
    return networks_;
}

void UdpSender::ensureSocket()
{
    if (socket_.state() == QAbstractSocket::BoundState)
        return;
    if (!socket_.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        raiseError(ErrNetworkUnreachable, socket_.errorString());
    const int on = 1;
    ::setsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
}

bool UdpSender::broadcastEnabled() const
{
    int on = 0;
    socklen_t size = sizeof on;
    if (socket_.socketDescriptor() < 0
        || ::getsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on, &size) != 0)
        return false;
    return on != 0;
}

void UdpSender::transmit(quint32 address, quint16 port, const QByteArray &payload)
{
    ensureSocket();
    // writeDatagram never blocks; a datagram the network refuses is dropped.
    const quint32 to = broadcastOnInterface(address, networks());
    if (socket_.writeDatagram(payload, QHostAddress(to), port) != payload.size())
        raiseError(ErrNetworkUnreachable, socket_.errorString());
}

QString UdpSender::localIP() const
{
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces()) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip().toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

} // namespace periodix
