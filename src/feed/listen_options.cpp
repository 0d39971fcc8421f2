#include "feed/listen_options.h"

#include "files/feed_key_file.h"

#include <QHostInfo>

#include <cstdio>

namespace periodix::feed {

using namespace periodix::protocol;

bool parsePort(const QString &text, quint16 &port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    port = static_cast<quint16>(value);
    return ok && value > 0 && value <= 65535;
}

bool parseClock(const QString &text, ClockId &clock, QString &error)
{
    // ADDRESS, ADDRESS:PORT, [IPV6]:PORT, NAME or NAME:PORT.
    QString host = text;
    QString port;
    const qsizetype colon = text.lastIndexOf(u':');
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        host = text.mid(1, close - 1);
        if (close < 0 || (close + 1 < text.size() && (text[close + 1] != u':' || close + 2 == text.size()))) {
            error = QStringLiteral("not an address");
            return false;
        }
        port = text.mid(close + 2);
    } else if (colon >= 0 && text.indexOf(u':') == colon) { // one colon: a port; more: an IPv6 address
        host = text.left(colon);
        port = text.mid(colon + 1);
    }
    quint16 number = 0;
    if (!port.isEmpty() && !parsePort(port, number)) {
        error = QStringLiteral("no such port: %1").arg(port);
        return false;
    }
    QHostAddress address;
    if (!address.setAddress(host)) {
        // A name is looked up once, now: the clock is then known by its address.
        const QHostInfo info = QHostInfo::fromName(host);
        const QList<QHostAddress> found = info.addresses();
        const auto v4 = std::find_if(found.cbegin(), found.cend(),
                                     [](const QHostAddress &a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
        if (host.isEmpty() || info.error() != QHostInfo::NoError || found.isEmpty()) {
            error = host.isEmpty() ? QStringLiteral("no address") : QStringLiteral("no such host: %1").arg(info.errorString());
            return false;
        }
        address = v4 != found.cend() ? *v4 : found.first();
    }
    clock = ClockId::of(address, port.isEmpty() ? 0 : number);
    return true;
}

ListenOptions::ListenOptions(QCommandLineParser &parser)
    : portOption_(QStringLiteral("port"), QStringLiteral("UDP port to listen on for the clock (%1).").arg(ClockPort),
                  QStringLiteral("port"), QString::number(ClockPort)),
      feedPortOption_(QStringLiteral("feed-port"),
                      QStringLiteral("UDP port to listen on for the clock's hall feed (%1).").arg(HallFeedPort),
                      QStringLiteral("port"), QString::number(HallFeedPort)),
      bindOption_(QStringLiteral("bind"), QStringLiteral("Local address to listen on for the clock (all)."),
                  QStringLiteral("address")),
      fromOption_(QStringLiteral("from"),
                  QStringLiteral("Follow only the clock at this address, ADDRESS:PORT or host name "
                                 "(default: the first clock heard)."),
                  QStringLiteral("address")),
      setOption_(QStringLiteral("set"),
                 QStringLiteral("The operator's Period Script file: the periods' legends and lengths."),
                 QStringLiteral("file.ptm")),
      keyOption_(QStringLiteral("feed-key"),
                 QStringLiteral("Follow only a hall feed signed with the key in this file (Periodix's --hall-feed-key), "
                                "which only its owner may read; the clock datagrams are then not read."),
                 QStringLiteral("file"))
{
    parser.addOptions({portOption_, feedPortOption_, bindOption_, fromOption_, setOption_, keyOption_});
}

int ListenOptions::start(const QCommandLineParser &parser, DatagramListener &listener, const char *program)
{
    if (!parsePort(parser.value(portOption_), port_)) {
        std::fprintf(stderr, "%s: --port %s: not a port from 1 to 65535\n", program, qPrintable(parser.value(portOption_)));
        return 2;
    }
    if (!parsePort(parser.value(feedPortOption_), feedPort_) || feedPort_ == port_) {
        std::fprintf(stderr, "%s: --feed-port %s: not a port from 1 to 65535 other than the clock's (%u)\n", program,
                     qPrintable(parser.value(feedPortOption_)), unsigned(port_));
        return 2;
    }
    // Every local address by default, so that broadcasts arrive too.
    QHostAddress address(QHostAddress::AnyIPv4);
    if (parser.isSet(bindOption_) && !address.setAddress(parser.value(bindOption_))) {
        std::fprintf(stderr, "%s: --bind %s: not an address\n", program, qPrintable(parser.value(bindOption_)));
        return 2;
    }
    if (parser.isSet(fromOption_)) {
        QString error;
        if (!parseClock(parser.value(fromOption_), settings_.from, error)) {
            std::fprintf(stderr, "%s: --from %s: %s\n", program, qPrintable(parser.value(fromOption_)), qPrintable(error));
            return 2;
        }
    }
    QString error;
    if (parser.isSet(keyOption_) && !readFeedKey(parser.value(keyOption_), settings_.key, error)) {
        std::fprintf(stderr, "%s: --feed-key %s: %s\n", program, qPrintable(parser.value(keyOption_)), qPrintable(error));
        return 2;
    }
    if (parser.isSet(setOption_) && !readPeriodSet(parser.value(setOption_), settings_.set, error)) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(error));
        return 2;
    }
    if (!listener.listen(address, port_)) {
        std::fprintf(stderr, "%s: cannot listen on UDP port %u: %s\n", program, unsigned(port_),
                     qPrintable(listener.errorString()));
        return 1;
    }
    if (!listener.listenFeed(address, feedPort_)) {
        std::fprintf(stderr, "%s: cannot listen on UDP port %u for the hall feed: %s\n", program, unsigned(feedPort_),
                     qPrintable(listener.feedErrorString()));
        return 1;
    }
    return 0;
}

} // namespace periodix::feed
