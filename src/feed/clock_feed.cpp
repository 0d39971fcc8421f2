#include "feed/clock_feed.h"

namespace periodix::feed {

QString statusName(FeedState::Status status)
{
    switch (status) {
    case FeedState::Status::Running: return QStringLiteral("running");
    case FeedState::Status::Paused: return QStringLiteral("paused");
    case FeedState::Status::Lost: return QStringLiteral("lost");
    case FeedState::Status::Waiting: break;
    }
    return QStringLiteral("waiting");
}

ClockDatagram::Kind ClockFeed::receive(const QByteArray &bytes, const QString &sender, qint64 nowMs)
{
    const ClockDatagram datagram = parseDatagram(bytes);
    if (datagram.kind == ClockDatagram::Kind::Invalid) {
        ++ignored_;
        return datagram.kind;
    }
    if (bytes == lastBytes_ && nowMs - lastMs_ < 500)
        return datagram.kind; // a copy
    lastBytes_ = bytes;
    lastMs_ = nowMs;
    monitor_.arrived(datagram, nowMs);
    sender_ = sender;
    paused_ = datagram.kind == ClockDatagram::Kind::Pause;
    if (datagram.kind == ClockDatagram::Kind::Clock) {
        period_ = datagram.period;
        time_ = datagram.time;
    }
    return datagram.kind;
}

FeedState ClockFeed::state(qint64 nowMs) const
{
    FeedState s;
    s.period = period_;
    s.time = time_;
    s.counting = monitor_.counting(nowMs);
    s.sinceLastMs = monitor_.sinceLastMs(nowMs);
    s.sender = sender_;
    s.ignored = ignored_;
    if (!monitor_.heardAny())
        s.status = FeedState::Status::Waiting;
    else if (monitor_.lost(nowMs))
        s.status = FeedState::Status::Lost;
    else if (paused_)
        s.status = FeedState::Status::Paused;
    else
        s.status = FeedState::Status::Running;
    return s;
}

} // namespace periodix::feed
