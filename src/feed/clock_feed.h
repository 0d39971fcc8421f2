#pragma once

#include "feed/datagram_parser.h"
#include "feed/period_set.h"
#include "feed/run_tracker.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace periodix::feed {

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
    QString sender;           // the clock followed, once heard
    QStringList otherClocks;  // other clocks heard lately, not shown
    int ignored = 0;          // datagrams of any other form, never shown

    bool counting() const { return status == Status::Running; }
    bool operator==(const FeedState &) const = default;
};

// "waiting", "running", "stopped", "paused", "ended" or "lost".
QString statusName(FeedState::Status status);

// Which clock to follow and what is known of its period set.
struct FeedSettings {
    QString from; // follow only this sender; empty: the first clock heard
    PeriodSet set;
};

// The clock as its datagrams tell it (see RunTracker). It follows one clock:
// the one given, or else the first heard; others are named, not shown. Left
// to itself, it moves to another clock when the one it follows has been
// silent for ten seconds (the operator's machine came back with a new
// address). A machine can hear one broadcast twice (the sender's own copy, two
// interfaces on one network): a copy within half a second is the same
// datagram, not a second tick.
class ClockFeed {
public:
    explicit ClockFeed(FeedSettings settings = {});

    // One datagram as it arrived; its kind: Invalid for one not shown
    // (another form, counted; another clock's, named).
    ClockDatagram::Kind receive(const QByteArray &bytes, const QString &sender, qint64 nowMs);
    FeedState state(qint64 nowMs) const;

private:
    bool follows(const QString &sender, qint64 nowMs);

    FeedSettings settings_;
    RunTracker tracker_;
    QByteArray lastBytes_;
    qint64 lastMs_ = -1;
    int period_ = 0;
    QString time_;
    QString sender_;
    QMap<QString, qint64> others_; // when each was last heard
    int ignored_ = 0;
};

} // namespace periodix::feed
