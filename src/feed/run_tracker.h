#pragma once

#include "protocol/clock_datagram.h"

#include <optional>

namespace periodix::feed {

using protocol::ClockDatagram;

// What the clock is doing, told from its datagrams and when they arrive.
// The clock sends a datagram only when it changes: one a second while it
// counts, one for each correction, reset or change of period, "pause" for a
// pause, and nothing at all when a period runs out. So:
// - a datagram that moves the time one second (or, while counting, about as
//   many seconds as have passed) towards the period's end is a tick: running;
//   a tick a few hundred milliseconds late or early is still one;
// - a datagram that would move a running clock back by one second right after
//   a tick came out of order: it is not shown;
// - any other clock datagram leaves the clock stopped;
// - a tick that reaches the end ends the period: 00:00 counting down, or the
//   period's length counting up when it is known; silence after it is normal.
//   A clock counting one second before its end that falls silent past its
//   next tick has ended too (the last datagram was lost), also after only
//   one tick (started again at 00:02); a late end datagram then changes
//   nothing;
// - a pause after the end, and the end datagram again (a start), is still
//   the end; a pause more than a second after a counting clock's last tick
//   holds the time of the ticks lost before it;
// - a clock that ticked twice in a row and then falls silent for more than
//   three seconds before its end has lost its link.
// The time left, in milliseconds, counted on from `leftMs` told `sinceMs`
// ago, never past `floorMs` (the next whole second) before the clock says it
// reached it: a tenth is never shown before the clock reaches it.
qint64 countedOnMs(qint64 leftMs, qint64 sinceMs, qint64 floorMs);

class RunTracker {
public:
    enum class Status { Waiting, Running, Stopped, Paused, Ended, Lost };

    // countUpEnd: the length of the datagram's period, where known. False for
    // a datagram not shown (out of order).
    bool arrived(const ClockDatagram &datagram, qint64 nowMs, std::optional<qint32> countUpEnd);
    Status status(qint64 nowMs) const;
    // How many times a counting clock has reached the end of its period (the
    // horn's count); an end the clock was loaded at, or corrected to, is none.
    int ends(qint64 nowMs) const { return ends_ + (silentEnd(nowMs) ? 1 : 0); }
    // The clock's seconds now: the end's when it ended in silence.
    qint32 seconds(qint64 nowMs) const { return silentEnd(nowMs) ? *endSeconds_ : seconds_; }
    // The time left in a counting-down period, in milliseconds, counted from
    // the arrival of the clock's last datagram (the clock sends each within
    // milliseconds of its second): never past the next whole second before
    // that second's datagram comes, zero at the end. None when the clock is
    // not counting down (a paused clock shows its own time).
    std::optional<qint64> remainingMs(qint64 nowMs) const;
    bool heardAny() const { return lastMs_ >= 0; }
    // The clock's last tick went down.
    bool countingDown() const { return lastWay_ < 0; }
    qint64 sinceLastMs(qint64 nowMs) const { return heardAny() ? nowMs - lastMs_ : -1; }

private:
    bool silentEnd(qint64 nowMs) const;

    qint64 lastMs_ = -1;      // any datagram
    qint64 lastClockMs_ = -1; // the last clock datagram
    qint64 previousTickMs_ = -1; // the tick before the last
    int period_ = 0;
    qint32 seconds_ = 0;
    int direction_ = 0;       // -1 countdown, +1 count-up, once two ticks told it
    int lastWay_ = 0;         // the way the last tick went
    std::optional<qint32> endSeconds_; // where the last tick's period ends, when one second away
    bool paused_ = false;
    bool ticked_ = false;     // the last clock datagram was a tick
    bool ticking_ = false;    // and so was the one before it
    bool ended_ = false;      // kept through a pause after the end
    int ends_ = 0;
};

} // namespace periodix::feed
