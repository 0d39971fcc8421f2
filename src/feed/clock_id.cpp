#include "feed/clock_id.h"

namespace periodix::feed {

QString addressName(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : address.toString();
}

ClockId ClockId::of(const QHostAddress &address, quint16 port)
{
    return {addressName(address), port};
}

ClockId ClockId::fromName(const QString &name)
{
    if (name.startsWith(u'[')) {
        const qsizetype close = name.indexOf(u']');
        return {name.mid(1, close - 1), quint16(name.mid(close + 2).toUInt())};
    }
    const qsizetype colon = name.lastIndexOf(u':');
    if (colon < 0 || name.indexOf(u':') != colon) // no port, or an IPv6 address alone
        return {name, 0};
    return {name.left(colon), quint16(name.mid(colon + 1).toUInt())};
}

QString ClockId::name() const
{
    if (port == 0)
        return address;
    return (address.contains(u':') ? u'[' + address + u']' : address) + u':' + QString::number(port);
}

} // namespace periodix::feed
