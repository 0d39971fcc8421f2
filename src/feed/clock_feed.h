#pragma once

#include "protocol/hall_feed.h"
#include "feed/period_set.h"
#include "feed/run_tracker.h"

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
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

    bool counting() const { return status == Status::Running; }
    bool operator==(const FeedState &) const = default;
};

// "waiting", "running", "stopped", "paused", "ended" or "lost".
QString statusName(FeedState::Status status);

// A clock is the address and port it sends from: "192.168.0.10:41234", or
// "[fe80::1]:41234".
QString clockName(const QString &address, quint16 port);
// The address part of a clock's name.
QString addressOf(const QString &clock);
// An address as clocks are named by: an IPv4 address also when it came as
// IPv6-mapped ("::ffff:192.168.0.10" is "192.168.0.10").
QString addressName(const QHostAddress &address);

// Which clock to follow and what is known of its period set.
struct FeedSettings {
    QString from; // follow only this clock ("address:port"), or any clock at this address; empty: the first heard
    PeriodSet set;
};

// The clock as its datagrams tell it (see RunTracker). It follows one clock:
// the one given, or else the first heard; others are named, not shown (the
// most recent few, the rest counted, each forgotten a minute after it last
// spoke). A clock that is stopped, paused or ended may be silent for as long
// as it likes (a time-out, the break between periods): it is never left.
// Left to itself, it moves to another clock only when the one it follows has
// lost its link while counting and stayed silent for ten seconds (the
// operator's machine came back with a new address); given an address without
// a port, it moves to another port of that address when the one it follows
// has been silent for ten seconds (Periodix started again on that machine).
// Either way only to a clock that began to speak after the one it follows
// fell silent, never to one heard all along (the other court).
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

    // One datagram as it arrived; its kind: Invalid for one not shown
    // (another form, counted; another clock's, named).
    ClockDatagram::Kind receive(const QByteArray &bytes, const QString &sender, qint64 nowMs);
    // One hall feed datagram as it arrived; false for one not shown (no feed,
    // counted; another clock's; a repeat or an older one).
    bool receiveFeed(const QByteArray &bytes, const QString &sender, qint64 nowMs);
    FeedState state(qint64 nowMs) const;

    static constexpr int OthersNamed = 4;

private:
    bool follows(const QString &sender, qint64 nowMs);
    void heardOther(const QString &sender, qint64 nowMs);
    // The feed decides: heard, and no clock datagram came after it fell silent.
    bool feedDecides(qint64 nowMs) const;
    // Ends the datagrams told since the feed was last heard, once it has stopped.
    int guessedEnds(qint64 nowMs) const;
    FeedState::Status status(qint64 nowMs) const;
    void feedState(FeedState &s, qint64 nowMs) const;

    FeedSettings settings_;
    RunTracker tracker_;
    QByteArray lastBytes_;
    qint64 lastMs_ = -1;
    int period_ = 0;
    QString time_;
    QString sender_;
    struct Heard {
        qint64 first; // since when it has been heard
        qint64 last;
    };
    QMap<QString, Heard> others_; // at most a few hundred
    qint64 othersPrunedMs_ = -1;
    qint64 ignored_ = 0;
    qint64 datagramMs_ = -1;       // the last clock datagram shown
    std::optional<HallFeed> feed_; // the newest feed datagram
    qint64 feedMs_ = -1;           // and when it came
    int feedEnds_ = 0;             // ends the feed told of
    int guessedEnds_ = 0;          // ends guessed from the datagrams while the feed did not decide
    int trackerEndsSeen_ = 0;      // the datagrams' ends counted so far
    int endGuessedPeriod_ = 0;     // the period of an end they told that the feed has not told of yet
};

} // namespace periodix::feed
