#include "main_window/hall_feed_sender.h"

#include "error_reporting/runtime_error.h"
#include "feed/listen_options.h"

#include <algorithm>

namespace periodix {

std::optional<quint16> hallFeedPortOption(bool feedAsked, const std::optional<QString> &port)
{
    quint16 number = 0;
    if (port && (!feed::parsePort(*port, number) || number == 7699))
        return std::nullopt;
    return port ? number : feedAsked ? feed::HallFeedPort : quint16(0);
}

namespace {
constexpr qint64 SecondNs = 1'000'000'000;
constexpr qint64 TenthNs = 100'000'000;
} // namespace

qint64 clockTenths(bool countdown, qint32 clockSeconds, qint32 periodSeconds, qint64 elapsedNs)
{
    const qint64 whole = qint64{clockSeconds} * 10;
    const qint64 elapsed = std::clamp<qint64>(elapsedNs, 0, SecondNs);
    if (countdown) {
        if (clockSeconds <= 0)
            return whole;
        // Up: 442.25 left is 442.3, which the clock has not yet passed.
        const qint64 left = qint64{clockSeconds} * SecondNs - elapsed;
        return (left + TenthNs - 1) / TenthNs;
    }
    if (clockSeconds >= periodSeconds)
        return whole;
    return std::min((qint64{clockSeconds} * SecondNs + elapsed) / TenthNs, qint64{periodSeconds} * 10);
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

void HallFeedSender::change(const feed::HallFeed &state, qint32 clockSeconds, qint32 periodSeconds, bool broadcasting)
{
    if (state.state != state_.state || state.period != state_.period) {
        echoesLeft_ = Echoes;
        echoes_.setEnabled(true); // while echoing an earlier change, on in its step
    }
    state_ = state;
    clockSeconds_ = clockSeconds;
    periodSeconds_ = periodSeconds;
    broadcasting_ = broadcasting;
    send();
    repeats_.setEnabled(true);
}

void HallFeedSender::send()
{
    if (!broadcasting_) // nor do the repeats, which start with the first change
        return;
    feed::HallFeed feed = state_;
    feed.seq = ++seq_;
    feed.clockTenths = clockTenths(feed.countdown, clockSeconds_, periodSeconds_, clockTimer_.elapsedNs());
    try {
        sender_.sendBytes(port_, feed::encodeHallFeed(feed));
    } catch (const RuntimeError &) {
        // As with the clock datagrams: a network that refuses one costs that
        // datagram, never a report in the middle of a game.
    }
}

} // namespace periodix
