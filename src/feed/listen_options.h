#pragma once

#include "feed/clock_feed.h"
#include "feed/datagram_listener.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace periodix::feed {

// A port given on the command line: 1 to 65535.
bool parsePort(const QString &text, quint16 &port);

// --from's clock: an address, ADDRESS:PORT, or a host name looked up now; the
// clock's name as the feed knows it, or the address alone. False, with why.
bool parseClock(const QString &text, ClockId &clock, QString &error);

// The companions' --port, --feed-port and --bind (where they hear the clock
// and its hall feed), --from (which clock they follow), --set (the
// operator's period set) and --feed-key (the signed feed's key).
class ListenOptions {
public:
    explicit ListenOptions(QCommandLineParser &parser);

    // After the parser has processed the command line: reads the period set
    // and starts the listener, or says on stderr why not and gives the exit
    // status (0 when listening).
    int start(const QCommandLineParser &parser, DatagramListener &listener, const char *program);
    quint16 port() const { return port_; }
    quint16 feedPort() const { return feedPort_; }
    const FeedSettings &feedSettings() const { return settings_; }

private:
    QCommandLineOption portOption_;
    QCommandLineOption feedPortOption_;
    QCommandLineOption bindOption_;
    QCommandLineOption fromOption_;
    QCommandLineOption setOption_;
    QCommandLineOption keyOption_;
    quint16 port_ = 0;
    quint16 feedPort_ = 0;
    FeedSettings settings_;
};

} // namespace periodix::feed
