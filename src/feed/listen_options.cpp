#include "feed/listen_options.h"

#include <cstdio>

namespace periodix::feed {

bool parsePort(const QString &text, quint16 &port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    port = static_cast<quint16>(value);
    return ok && value > 0 && value <= 65535;
}

ListenOptions::ListenOptions(QCommandLineParser &parser)
    : portOption_(QStringLiteral("port"), QStringLiteral("UDP port to listen on for the clock (7699)."),
                  QStringLiteral("port"), QStringLiteral("7699")),
      bindOption_(QStringLiteral("bind"), QStringLiteral("Local address to listen on for the clock (all)."),
                  QStringLiteral("address")),
      fromOption_(QStringLiteral("from"),
                  QStringLiteral("Follow only the clock at this address (default: the first clock heard)."),
                  QStringLiteral("address")),
      setOption_(QStringLiteral("set"),
                 QStringLiteral("The operator's Period Script file: the periods' legends and lengths."),
                 QStringLiteral("file.ptm"))
{
    parser.addOptions({portOption_, bindOption_, fromOption_, setOption_});
}

int ListenOptions::start(const QCommandLineParser &parser, DatagramListener &listener, const char *program)
{
    if (!parsePort(parser.value(portOption_), port_)) {
        std::fprintf(stderr, "%s: no such port: %s\n", program, qPrintable(parser.value(portOption_)));
        return 2;
    }
    // Every local address by default, so that broadcasts arrive too.
    QHostAddress address(QHostAddress::AnyIPv4);
    if (parser.isSet(bindOption_) && !address.setAddress(parser.value(bindOption_))) {
        std::fprintf(stderr, "%s: no such address: %s\n", program, qPrintable(parser.value(bindOption_)));
        return 2;
    }
    if (parser.isSet(fromOption_)) {
        QHostAddress from;
        if (!from.setAddress(parser.value(fromOption_))) {
            std::fprintf(stderr, "%s: no such address: %s\n", program, qPrintable(parser.value(fromOption_)));
            return 2;
        }
        settings_.from = from.toString(); // as the listener names senders
    }
    QString error;
    if (parser.isSet(setOption_) && !readPeriodSet(parser.value(setOption_), settings_.set, error)) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(error));
        return 2;
    }
    if (!listener.listen(address, port_)) {
        std::fprintf(stderr, "%s: cannot listen on UDP port %u: %s\n", program, unsigned(port_),
                     qPrintable(listener.errorString()));
        return 1;
    }
    return 0;
}

} // namespace periodix::feed
