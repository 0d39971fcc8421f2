#pragma once

#include "platform/monotonic_clock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUdpSocket>

#include <optional>

namespace periodix {

// Dotted IPv4 text, every part decimal ("192.168.000.255" is 192.168.0.255,
// a leading zero is not octal). Nothing when the text is no such address.
std::optional<quint32> parseDottedAddress(const QString &text);

// An IPv4 network of one of the machine's interfaces.
struct InterfaceNetwork {
    quint32 address;
    quint32 netmask;
};

// Where a datagram to the chosen network's broadcast address (its last part
// 255) goes: that interface's own broadcast address when the network of an
// interface holds it and its mask is no /24 (loopback's /8, a /16, a /23),
// so that every listening program of that network gets it; the address
// itself otherwise. On loopback, 127.0.0.255 is no broadcast: the kernel
// hands such a datagram to one listening socket only.
quint32 broadcastOnInterface(quint32 chosen, const QList<InterfaceNetwork> &networks);

// The window's UDP sender: protocol, remote host and port, send, and the
// machine's own address. Failures raise runtime errors, which the callers
// skip silently around sends.
class DatagramSender {
public:
    static constexpr int ProtocolUdp = 1;

    virtual ~DatagramSender() = default;

    int protocol() const { return protocol_; }
    void setProtocol(int protocol);
    const QString &remoteHost() const { return remoteHost_; }
    void setRemoteHost(const QString &host) { remoteHost_ = host; }
    int remotePort() const { return remotePort_; }
    void setRemotePort(int port);

    // Sends the text as one datagram, one byte per character, without waiting.
    void sendData(const QByteArray &text);
    // Sends the bytes as one datagram to the same host on another port, from
    // the same socket.
    void sendBytes(quint16 port, const QByteArray &payload);

    // The machine's own IPv4 address as dotted text.
    virtual QString localIP() const = 0;

protected:
    virtual void transmit(quint32 address, quint16 port, const QByteArray &payload) = 0;

private:
    int protocol_ = ProtocolUdp;
    QString remoteHost_;
    int remotePort_ = 0;
};

class UdpSender final : public DatagramSender {
public:
    explicit UdpSender(MonotonicClock &clock = steadyClock());
    QString localIP() const override;

    // The socket's broadcast permission, for tests.
    bool broadcastEnabled() const;

protected:
    void transmit(quint32 address, quint16 port, const QByteArray &payload) override;

private:
    void ensureSocket();
    // The machine's networks, read again every few seconds: a network that
    // comes up during a game is found.
    const QList<InterfaceNetwork> &networks();

    QUdpSocket socket_;
    MonotonicClock &clock_;
    QList<InterfaceNetwork> networks_;
    qint64 networksReadNs_ = 0;
    bool networksRead_ = false;
};

} // namespace periodix
