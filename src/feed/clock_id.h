#pragma once

#include <QHostAddress>
#include <QString>

namespace periodix::feed {

// A clock is the address and port it sends from. Port 0 stands for any port
// of the address (--from given an address alone).
struct ClockId {
    QString address; // IPv4 also when it came as IPv6-mapped
    quint16 port = 0;

    static ClockId of(const QHostAddress &address, quint16 port);
    // From its name: "192.168.0.10:41234", "[fe80::1]:41234", or an address alone.
    static ClockId fromName(const QString &name);
    // "192.168.0.10:41234", "[fe80::1]:41234"; the address alone for any port.
    QString name() const;
    bool isEmpty() const { return address.isEmpty(); }
    // Whether the clock chosen as this one is that sender: the same, or any
    // port of this address.
    bool takes(const ClockId &sender) const
    {
        return address == sender.address && (port == 0 || port == sender.port);
    }

    bool operator==(const ClockId &) const = default;
};

// An address as clocks are named by: an IPv4 address also when it came as
// IPv6-mapped ("::ffff:192.168.0.10" is "192.168.0.10").
QString addressName(const QHostAddress &address);

} // namespace periodix::feed
