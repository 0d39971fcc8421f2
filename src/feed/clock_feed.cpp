#include "feed/clock_feed.h"

#include "protocol/time_text.h"

#include <algorithm>
#include <utility>

namespace periodix::feed {

using namespace periodix::protocol;

namespace {
constexpr qint64 CopyWithinMs = 500;
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

ClockFeed::ClockFeed(FeedSettings settings) : settings_(std::move(settings)), choice_(settings_.from) {}

bool ClockFeed::follows(const ClockId &sender, qint64 nowMs, const HallFeed *feed)
{
    ClockChoice::Followed followed;
    followed.lastMs = lastMs_;
    followed.lost = status(nowMs) == FeedState::Status::Lost;
    followed.sameGame = feed && sequence_.newest() && sequence_.newest()->clock.game == feed->clock.game;
    switch (choice_.take(sender, nowMs, followed)) {
    case ClockChoice::Verdict::Follows:
        return true;
    case ClockChoice::Verdict::Other:
        return false;
    case ClockChoice::Verdict::Resumed:
        sequence_.restart(); // the same game goes on, its ends counted on
        return true;
    case ClockChoice::Verdict::Replaces:
        break;
    }
    const ClockChoice choice = choice_;
    const qint64 ignored = ignored_;
    *this = ClockFeed(settings_);
    choice_ = choice;
    ignored_ = ignored;
    return true;
}

ClockDatagram::Kind ClockFeed::receive(const QByteArray &bytes, const QString &sender, qint64 nowMs)
{
    const ClockDatagram datagram = parseDatagram(bytes);
    if (!settings_.key.isEmpty())
        return ClockDatagram::Kind::Invalid; // anyone may send these: with a key, only the signed feed tells
    if (datagram.kind == ClockDatagram::Kind::Invalid) {
        ++ignored_;
        return datagram.kind;
    }
    if (!follows(ClockId::fromName(sender), nowMs, nullptr))
        return ClockDatagram::Kind::Invalid; // another clock's: shown nowhere
    if (bytes == lastBytes_ && nowMs - datagramMs_ < CopyWithinMs)
        return datagram.kind; // a copy
    if (!tracker_.arrived(datagram, nowMs, settings_.set.length(datagram.period)))
        return datagram.kind; // out of order: not shown
    lastBytes_ = bytes;
    lastMs_ = datagramMs_ = nowMs;
    ends_.datagramShown(tracker_.ends(nowMs), sequence_.newest().has_value(), datagramsTellEnds(nowMs));
    if (datagram.kind == ClockDatagram::Kind::Clock) {
        period_ = datagram.period;
        time_ = datagram.time;
    } else if (!time_.isEmpty()) {
        time_ = timeText(tracker_.seconds(nowMs)); // the pause holds the ticks lost before it
    }
    return datagram.kind;
}

bool ClockFeed::receiveFeed(const QByteArray &bytes, const QString &sender, qint64 nowMs)
{
    std::optional<HallFeed> feed;
    if (settings_.key.isEmpty())
        feed = parseHallFeed(bytes);
    else if (const std::optional<QByteArray> json = verifiedHallFeed(bytes, settings_.key))
        feed = parseHallFeed(*json);
    if (!feed) { // not a feed, or not signed with the key
        ++ignored_;
        return false;
    }
    if (!follows(ClockId::fromName(sender), nowMs, &*feed) || !sequence_.isNewer(*feed, nowMs))
        return false;
    ends_.feedTaken(sequence_.newest(), *feed, tracker_.ends(nowMs), datagramsTellEnds(nowMs), period_);
    sequence_.take(*feed, nowMs);
    lastMs_ = nowMs;
    return true;
}

bool ClockFeed::feedDecides(qint64 nowMs) const
{
    return sequence_.newest() && (!sequence_.lost(nowMs) || datagramMs_ <= sequence_.heardMs());
}

bool ClockFeed::datagramsTellEnds(qint64 nowMs) const
{
    return !sequence_.newest() || (!feedDecides(nowMs) && nowMs - sequence_.heardMs() > EndCount::FeedStoppedMs);
}

FeedState::Status ClockFeed::status(qint64 nowMs) const
{
    if (!feedDecides(nowMs))
        return tracker_.status(nowMs);
    if (sequence_.lost(nowMs))
        return FeedState::Status::Lost;
    switch (sequence_.newest()->clock.run) {
    case HallFeed::State::Running: return FeedState::Status::Running;
    case HallFeed::State::Paused: return FeedState::Status::Paused;
    case HallFeed::State::Ended: return FeedState::Status::Ended;
    case HallFeed::State::Stopped: break;
    }
    return FeedState::Status::Stopped;
}

FeedState ClockFeed::state(qint64 nowMs) const
{
    FeedState s;
    s.status = status(nowMs);
    s.ends = ends_.count(tracker_.ends(nowMs), datagramsTellEnds(nowMs));
    std::optional<qint64> left;
    if (feedDecides(nowMs)) {
        const HallFeed &feed = *sequence_.newest();
        s.period = feed.clock.period;
        s.legend = feed.clock.legend;
        s.time = feed.time;
        s.countingDown = feed.clock.countdown;
        s.sinceLastMs = nowMs - sequence_.heardMs();
        s.fromFeed = true;
        s.told = feed.clock;
        if (feed.clock.countdown && s.status == FeedState::Status::Ended) {
            left = 0;
        } else if (feed.clock.countdown && s.status == FeedState::Status::Running) {
            // Counted on from the feed's own time, never past the next whole
            // second before the feed says the clock reached it.
            const qint64 nextSecond = std::max<qint64>(0, (feed.clockTenths - 1) / 10) * 1000;
            left = countedOnMs(feed.clockTenths * 100, nowMs - sequence_.heardMs(), nextSecond);
        }
    } else {
        s.period = period_;
        s.legend = settings_.set.legend(period_);
        s.time = time_;
        if (s.status == FeedState::Status::Ended && tracker_.ends(nowMs) > 0)
            s.time = timeText(tracker_.seconds(nowMs)); // also when the end's own datagram never came
        left = tracker_.remainingMs(nowMs);
        s.countingDown = tracker_.countingDown();
        s.sinceLastMs = tracker_.sinceLastMs(nowMs);
    }
    if (left && s.fromFeed)
        s.feedLeftMs = *left;
    if (left) {
        // Rounded up: a tenth is never shown before the clock has reached it.
        const qint64 tenths = (*left + 99) / 100;
        if (tenths < 600)
            s.tenths = QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
    }
    s.sender = choice_.followed().name();
    s.otherClocks = choice_.others(nowMs, s.moreClocks);
    s.ignored = ignored_;
    return s;
}

} // namespace periodix::feed
