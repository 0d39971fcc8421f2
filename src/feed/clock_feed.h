#pragma once

#include "feed/datagram_parser.h"
#include "feed/link_monitor.h"

#include <QByteArray>
#include <QString>

namespace periodix::feed {

// What a mirror of the clock shows at one moment.
struct FeedState {
    enum class Status { Waiting, Running, Paused, Lost };
    Status status = Status::Waiting;
    int period = 0;           // 0 until the first clock datagram
    QString time;             // its time text, empty until then
    bool counting = false;    // the clock counts now, a datagram a second
    qint64 sinceLastMs = -1;  // since the last datagram; -1 before the first
    QString sender;           // the address the last datagram came from
    int ignored = 0;          // datagrams of any other form, never shown

    bool operator==(const FeedState &) const = default;
};

// "waiting", "running", "paused" or "lost".
QString statusName(FeedState::Status status);

// The clock as its datagrams tell it: the last period and time, whether it
// was paused since, and whether the link is lost (see LinkMonitor). Waiting
// until the first datagram of the clock's own forms. A machine can hear one
// broadcast twice (the sender's own copy, two interfaces on one network): a
// copy within half a second is the same datagram, not a second tick.
class ClockFeed {
public:
    // One datagram as it arrived; its kind (Invalid ones are only counted).
    ClockDatagram::Kind receive(const QByteArray &bytes, const QString &sender, qint64 nowMs);
    FeedState state(qint64 nowMs) const;

private:
    LinkMonitor monitor_;
    QByteArray lastBytes_;
    qint64 lastMs_ = -1;
    int period_ = 0;
    QString time_;
    bool paused_ = false;
    QString sender_;
    int ignored_ = 0;
};

} // namespace periodix::feed
