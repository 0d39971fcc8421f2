#pragma once

#include "protocol/hall_feed.h"
#include "feed/clock_choice.h"
#include "feed/end_count.h"
#include "feed/feed_sequence.h"
#include "feed/period_set.h"
#include "feed/run_tracker.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace periodix::feed {

using protocol::HallFeed;

// What a mirror of the clock shows at one moment.
struct FeedState {
    using Status = RunTracker::Status;
    Status status = Status::Waiting;
    int period = 0;           // 0 until the first clock datagram
    QString legend;           // the period's legend from the period set; empty without it
    QString time;             // its time text, empty until then
    QString tenths;           // in the last minute of a counting-down period: seconds and tenths ("9.4")
    bool countingDown = false; // the clock's last tick went down
    qint64 sinceLastMs = -1;  // since the last datagram; -1 before the first
    QString sender;           // the clock followed ("address:port"), once heard
    QStringList otherClocks;  // other clocks heard lately, not shown: the most recent few
    int moreClocks = 0;       // and how many more were heard lately
    qint64 ignored = 0;       // datagrams of any other form, never shown
    int ends = 0;             // how often a counting clock reached the end of its period
    bool fromFeed = false;    // told by the clock's hall feed, not guessed from its datagrams
    qint64 feedLeftMs = -1;   // the time left in a counting-down period by the feed, counted on; -1 otherwise
    std::optional<protocol::ClockState> told; // the clock as its feed tells it: game, periods, length, timer

    bool counting() const { return status == Status::Running; }
    bool operator==(const FeedState &) const = default;
};

// "waiting", "running", "stopped", "paused", "ended" or "lost".
QString statusName(FeedState::Status status);

// Which clock to follow and what is known of its period set.
struct FeedSettings {
    ClockId from; // follow only this clock, or any clock at its address; empty: the first heard
    PeriodSet set;
    // The hall feed's key (--feed-key): only a feed signed with it is
    // followed, and the clock datagrams are not read. Empty: none.
    QByteArray key;
};

// The clock as a mirror shows it, in parts that each do one thing: which
// clock to follow (ClockChoice), the reading of its plain datagrams
// (RunTracker), its hall feed's count and silence (FeedSequence), and the
// count of its ends (EndCount).
// A machine can hear one broadcast twice (the sender's own copy, two
// interfaces on one network): a copy within half a second is the same
// datagram, not a second tick.
//
// A clock that sends the hall feed says its state itself, four times a
// second: while its feed is heard, the feed decides everything shown (the
// newest by its count; an older one that comes late is not shown), and
// the clock datagrams only wait in case the feed stops. A feed silent for
// more than four repeats is a lost link, whatever the state; a clock whose
// datagrams go on after its feed stopped is read from them again.
class ClockFeed {
public:
    explicit ClockFeed(FeedSettings settings = {});

    // One datagram as it arrived from the clock named `sender`; its kind:
    // Invalid for one not shown (another form, counted; another clock's,
    // named).
    ClockDatagram::Kind receive(const QByteArray &bytes, const QString &sender, qint64 nowMs);
    // One hall feed datagram as it arrived; false for one not shown (no feed,
    // counted; another clock's; a repeat, an older one, or a count too far on).
    bool receiveFeed(const QByteArray &bytes, const QString &sender, qint64 nowMs);
    FeedState state(qint64 nowMs) const;

    static constexpr int OthersNamed = ClockChoice::OthersNamed;

private:
    // Whether the arrival is the followed clock's; `feed` when it is a feed
    // datagram. A clock that takes a silent one's place is read afresh.
    bool follows(const ClockId &sender, qint64 nowMs, const HallFeed *feed);
    // The feed decides: heard, and no clock datagram came after it fell silent.
    bool feedDecides(qint64 nowMs) const;
    // The datagrams tell of ends: no feed was heard, or it stopped.
    bool datagramsTellEnds(qint64 nowMs) const;
    FeedState::Status status(qint64 nowMs) const;

    FeedSettings settings_;
    ClockChoice choice_;
    RunTracker tracker_;
    FeedSequence sequence_{!settings_.key.isEmpty()};
    EndCount ends_;
    QByteArray lastBytes_;
    qint64 lastMs_ = -1;     // the followed clock last heard, either way
    int period_ = 0;         // as its datagrams tell
    QString time_;
    qint64 ignored_ = 0;
    qint64 datagramMs_ = -1; // the last clock datagram shown
};

} // namespace periodix::feed
