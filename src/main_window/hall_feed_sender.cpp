#include "main_window/hall_feed_sender.h"

#include "error_reporting/runtime_error.h"
#include "feed/listen_options.h"
#include "protocol/hall_feed.h"
#include "protocol/ports.h"

namespace periodix {

std::optional<quint16> hallFeedPortOption(bool feedAsked, const std::optional<QString> &port)
{
    quint16 number = 0;
    if (port && (!feed::parsePort(*port, number) || number == protocol::ClockPort))
        return std::nullopt;
    return port ? number : feedAsked ? protocol::HallFeedPort : quint16(0);
}

HallFeedSender::HallFeedSender(DatagramSender &sender, quint16 port, const PeriodicTimer &clockTimer,
                               MonotonicClock &clock, QObject *parent)
    : QObject(parent), sender_(sender), port_(port), clockTimer_(clockTimer), repeats_(this, clock),
      echoes_(this, clock)
{
    repeats_.setInterval(RepeatMs);
    echoes_.setInterval(EchoMs);
    // Late repeats are not sent again for the intervals they missed: the
    // next one says everything.
    connect(&repeats_, &PeriodicTimer::tick, this, &HallFeedSender::send);
    connect(&echoes_, &PeriodicTimer::tick, this, [this] {
        if (--echoesLeft_ <= 0)
            echoes_.setEnabled(false);
        send();
    });
}

void HallFeedSender::change(const protocol::ClockState &state, bool broadcasting)
{
    if (state.run != state_.run || state.period != state_.period) {
        echoesLeft_ = Echoes;
        echoes_.setEnabled(true); // while echoing an earlier change, on in its step
    }
    state_ = state;
    broadcasting_ = broadcasting;
    send();
    repeats_.setEnabled(true);
}

void HallFeedSender::send()
{
    if (!broadcasting_) // nor do the repeats, which start with the first change
        return;
    protocol::ClockState now = state_;
    now.elapsedNs = clockTimer_.elapsedNs();
    try {
        const QByteArray json = protocol::encodeHallFeed(protocol::hallFeed(now, ++seq_));
        sender_.sendBytes(port_, key_.isEmpty() ? json : protocol::signHallFeed(json, key_));
    } catch (const RuntimeError &) {
        // As with the clock datagrams: a network that refuses one costs that
        // datagram, never a report in the middle of a game.
    }
}

} // namespace periodix
