#include "feed/clock_feed.h"

namespace periodix::feed {

namespace {
constexpr qint64 CopyWithinMs = 500;
constexpr qint64 GoneAfterMs = 10'000;  // a followed clock silent this long may be replaced
constexpr qint64 OtherHeardMs = 60'000; // another clock is named this long after it spoke
} // namespace

QString statusName(FeedState::Status status)
{
    switch (status) {
    case FeedState::Status::Running: return QStringLiteral("running");
    case FeedState::Status::Stopped: return QStringLiteral("stopped");
    case FeedState::Status::Paused: return QStringLiteral("paused");
    case FeedState::Status::Ended: return QStringLiteral("ended");
    case FeedState::Status::Lost: return QStringLiteral("lost");
    case FeedState::Status::Waiting: break;
    }
    return QStringLiteral("waiting");
}

ClockFeed::ClockFeed(FeedSettings settings) : settings_(std::move(settings)) {}

bool ClockFeed::follows(const QString &sender, qint64 nowMs)
{
    if (sender == sender_ || (sender_.isEmpty() && (settings_.from.isEmpty() || sender == settings_.from)))
        return true;
    if (!settings_.from.isEmpty() || nowMs - lastMs_ < GoneAfterMs) {
        others_.insert(sender, nowMs);
        return false;
    }
    // The clock followed has gone quiet: this one takes its place.
    others_.remove(sender);
    const int ignored = ignored_;
    const QMap<QString, qint64> others = others_;
    *this = ClockFeed(settings_);
    ignored_ = ignored;
    others_ = others;
    return true;
}

ClockDatagram::Kind ClockFeed::receive(const QByteArray &bytes, const QString &sender, qint64 nowMs)
{
    const ClockDatagram datagram = parseDatagram(bytes);
    if (datagram.kind == ClockDatagram::Kind::Invalid) {
        ++ignored_;
        return datagram.kind;
    }
    if (!follows(sender, nowMs))
        return ClockDatagram::Kind::Invalid; // another clock's: shown nowhere
    if (bytes == lastBytes_ && nowMs - lastMs_ < CopyWithinMs)
        return datagram.kind; // a copy
    lastBytes_ = bytes;
    lastMs_ = nowMs;
    sender_ = sender;
    tracker_.arrived(datagram, nowMs, settings_.set.length(datagram.period));
    if (datagram.kind == ClockDatagram::Kind::Clock) {
        period_ = datagram.period;
        time_ = datagram.time;
    }
    return datagram.kind;
}

FeedState ClockFeed::state(qint64 nowMs) const
{
    FeedState s;
    s.status = tracker_.status(nowMs);
    s.period = period_;
    s.legend = settings_.set.legend(period_);
    s.time = time_;
    if (const std::optional<qint64> left = tracker_.remainingMs(nowMs)) {
        // Rounded up: a tenth is never shown before the clock has reached it.
        const qint64 tenths = (*left + 99) / 100;
        if (tenths < 600)
            s.tenths = QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
    }
    s.countingDown = tracker_.countingDown();
    s.sinceLastMs = tracker_.sinceLastMs(nowMs);
    s.sender = sender_;
    for (auto it = others_.cbegin(); it != others_.cend(); ++it) {
        if (nowMs - it.value() <= OtherHeardMs)
            s.otherClocks << it.key();
    }
    s.ignored = ignored_;
    return s;
}

} // namespace periodix::feed
