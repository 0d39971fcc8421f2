#include "feed/clock_feed.h"

#include <algorithm>
#include <utility>

namespace periodix::feed {

using namespace periodix::protocol;

namespace {
constexpr qint64 CopyWithinMs = 500;
constexpr qint64 GoneAfterMs = 10'000;  // a followed clock silent this long may be replaced
constexpr qint64 OtherHeardMs = 60'000; // another clock is named this long after it spoke
constexpr int OthersKept = 256;         // other clocks kept to be named or counted; the oldest go first
// The feed repeats every 250 ms: four repeats missed (a second) and the
// fifth late is a lost link.
constexpr qint64 FeedLostAfterMs = 1300;
// A count that goes back after this much silence is Periodix started again.
constexpr qint64 FeedRestartMs = 2000;
// The datagrams tell of ends only once the feed has been silent this long:
// a network that holds both for a moment delivers the feed's own end too.
constexpr qint64 FeedStoppedMs = 3000;

QString timeText(qint32 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
}
} // namespace

QString clockName(const QString &address, quint16 port)
{
    return (address.contains(u':') ? u'[' + address + u']' : address) + u':' + QString::number(port);
}

QString addressOf(const QString &clock)
{
    if (clock.startsWith(u'['))
        return clock.mid(1, clock.indexOf(u']') - 1);
    const qsizetype colon = clock.lastIndexOf(u':');
    return colon < 0 ? clock : clock.left(colon);
}

QString addressName(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : address.toString();
}

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

void ClockFeed::heardOther(const QString &sender, qint64 nowMs)
{
    others_.insert(sender, {others_.value(sender, {nowMs, nowMs}).first, nowMs});
    // A network full of senders costs a bounded list: those silent for a
    // minute go, and past the bound the oldest.
    if (others_.size() <= OthersKept && nowMs - othersPrunedMs_ < 1000)
        return;
    othersPrunedMs_ = nowMs;
    others_.removeIf([nowMs](const auto &other) { return nowMs - other.value().last > OtherHeardMs; });
    while (others_.size() > OthersKept)
        others_.erase(std::min_element(others_.begin(), others_.end(),
                                       [](const Heard &a, const Heard &b) { return a.last < b.last; }));
}

bool ClockFeed::follows(const QString &sender, qint64 nowMs)
{
    const bool chosen = settings_.from.isEmpty() || sender == settings_.from || addressOf(sender) == settings_.from;
    if (sender == sender_ || (sender_.isEmpty() && chosen))
        return true;
    const qint64 silent = nowMs - lastMs_;
    // Left to itself, only a clock that lost its link while counting is
    // replaced; given an address, another port of it takes the place of a
    // silent one; either only by a clock first heard after it fell silent.
    const bool cameAfter = others_.value(sender, {nowMs, nowMs}).first > lastMs_;
    const bool replace = cameAfter && silent >= GoneAfterMs
                         && (settings_.from.isEmpty() ? status(nowMs) == FeedState::Status::Lost
                                                      : chosen && sender != settings_.from);
    if (!replace) {
        heardOther(sender, nowMs);
        return false;
    }
    others_.remove(sender);
    const qint64 ignored = ignored_;
    const QMap<QString, Heard> others = others_;
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
    if (bytes == lastBytes_ && nowMs - datagramMs_ < CopyWithinMs)
        return datagram.kind; // a copy
    sender_ = sender;
    if (!tracker_.arrived(datagram, nowMs, settings_.set.length(datagram.period)))
        return datagram.kind; // out of order: not shown
    lastBytes_ = bytes;
    lastMs_ = datagramMs_ = nowMs;
    if (feed_ && guessedEnds(nowMs) == 0) // an end the feed told, or will, is no end of the datagrams'
        trackerEndsSeen_ = tracker_.ends(nowMs);
    if (datagram.kind == ClockDatagram::Kind::Clock) {
        period_ = datagram.period;
        time_ = datagram.time;
    } else if (tracker_.seconds(nowMs) >= 0 && !time_.isEmpty()) {
        time_ = timeText(tracker_.seconds(nowMs)); // the pause holds the ticks lost before it
    }
    return datagram.kind;
}

bool ClockFeed::receiveFeed(const QByteArray &bytes, const QString &sender, qint64 nowMs)
{
    const std::optional<HallFeed> feed = parseHallFeed(bytes);
    if (!feed) {
        ++ignored_;
        return false;
    }
    if (!follows(sender, nowMs))
        return false;
    sender_ = sender;
    const bool sameGame = feed_ && feed_->game == feed->game;
    if (sameGame && feed->seq <= feed_->seq && nowMs - feedMs_ <= FeedRestartMs)
        return false; // a repeat heard twice, or an older one that came late
    // The ends guessed from the datagrams while they decided stay counted;
    // while the feed decides, it alone tells of ends.
    const int guessed = guessedEnds(nowMs);
    guessedEnds_ += guessed;
    trackerEndsSeen_ = tracker_.ends(nowMs);
    // An end the datagrams told while the feed was away is the feed's next
    // end of that period, which a held network may deliver after older ones.
    if (guessed > 0)
        endGuessedPeriod_ = period_;
    if (feed->period != endGuessedPeriod_ || feed->state == HallFeed::State::Stopped)
        endGuessedPeriod_ = 0;
    // A new end: the feed turns "ended" from a clock that stood elsewhere
    // (also when what came between was lost), not from the same second of
    // the same period (E N D, pause, start), and never at the first sight of
    // a game.
    if (sameGame && feed->state == HallFeed::State::Ended && feed_->state != HallFeed::State::Ended
        && !(feed_->period == feed->period && feed_->clockTenths == feed->clockTenths))
        feedEnds_ += std::exchange(endGuessedPeriod_, 0) == feed->period ? 0 : 1;
    feed_ = feed;
    feedMs_ = lastMs_ = nowMs;
    return true;
}

int ClockFeed::guessedEnds(qint64 nowMs) const
{
    const bool stopped = !feed_ || (!feedDecides(nowMs) && nowMs - feedMs_ > FeedStoppedMs);
    return stopped ? tracker_.ends(nowMs) - trackerEndsSeen_ : 0;
}

bool ClockFeed::feedDecides(qint64 nowMs) const
{
    return feed_ && (nowMs - feedMs_ <= FeedLostAfterMs || datagramMs_ <= feedMs_);
}

FeedState::Status ClockFeed::status(qint64 nowMs) const
{
    if (!feedDecides(nowMs))
        return tracker_.status(nowMs);
    if (nowMs - feedMs_ > FeedLostAfterMs)
        return FeedState::Status::Lost;
    switch (feed_->state) {
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
    std::optional<qint64> left;
    if (feedDecides(nowMs)) {
        s.period = feed_->period;
        s.legend = feed_->legend;
        s.time = feed_->time;
        s.countingDown = feed_->countdown;
        s.sinceLastMs = nowMs - feedMs_;
        s.fromFeed = true;
        s.ends = feedEnds_ + guessedEnds_;
        if (feed_->countdown && s.status == FeedState::Status::Ended) {
            left = 0;
        } else if (feed_->countdown && s.status == FeedState::Status::Running) {
            // Counted on from the feed's own time, never past the next whole
            // second before the feed says the clock reached it.
            const qint64 nextSecond = std::max<qint64>(0, (feed_->clockTenths - 1) / 10) * 1000;
            left = std::max(feed_->clockTenths * 100 - std::max<qint64>(0, nowMs - feedMs_ - 1), nextSecond);
        }
    } else {
        s.period = period_;
        s.legend = settings_.set.legend(period_);
        s.time = time_;
        s.ends = feedEnds_ + guessedEnds_ + guessedEnds(nowMs);
        if (s.status == FeedState::Status::Ended && tracker_.ends(nowMs) > 0 && tracker_.seconds(nowMs) >= 0)
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
    s.sender = sender_;
    // The most recently heard first.
    QList<std::pair<qint64, QString>> heard;
    for (auto it = others_.cbegin(); it != others_.cend(); ++it) {
        if (nowMs - it.value().last <= OtherHeardMs)
            heard.append({it.value().last, it.key()});
    }
    std::sort(heard.begin(), heard.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (int i = 0; i < heard.size(); ++i) {
        if (i < OthersNamed)
            s.otherClocks << heard[i].second;
        else
            ++s.moreClocks;
    }
    s.ignored = ignored_;
    return s;
}

} // namespace periodix::feed
