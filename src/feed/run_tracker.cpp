#include "feed/run_tracker.h"

#include <algorithm>
#include <cstdlib>

namespace periodix::feed {

namespace {
// The rules' limits, each its own.
constexpr qint64 TickSpacingMs = 1000;
constexpr qint64 LateTickMs = 1500;    // a tick not followed within this: a correction, or the silent end
constexpr qint64 LostAfterMs = 3000;   // a counting clock silent for longer: link lost
constexpr qint64 ShortestTickGapMs = 500; // from a clock not running: closer is a correction
constexpr qint64 SecondTickGapMs = 850;   // the second tick after a start: closer is a second correction
constexpr qint64 TicksTogetherMs = 100;   // a running clock's tick may come this close after a late one
constexpr qint64 TickSlackMs = 300;    // how much earlier than its second a tick may come
// A pause this long after a counting clock's last tick holds the ticks lost
// before it, each counted once it is this far past its second.
constexpr qint64 PauseHoldsAfterMs = 1200;
constexpr qint64 LostTickPastMs = 100;
constexpr qint64 TickBehindPauseMs = 100; // a tick this soon after a pause was sent before it
constexpr qint32 TenSecondCorrection = 10; // corrections move one or ten seconds
} // namespace

qint64 countedOnMs(qint64 leftMs, qint64 sinceMs, qint64 floorMs)
{
    // Both moments are whole milliseconds: one less, so that their rounding
    // never puts the time shown ahead of the clock.
    return std::max(leftMs - std::max<qint64>(0, sinceMs - 1), floorMs);
}

bool RunTracker::silentEnd(qint64 nowMs) const
{
    // The last tick left the clock one second before its end, and the next
    // one, the end, never came.
    return !paused_ && !ended_ && ticked_ && endSeconds_ && nowMs - lastClockMs_ > LateTickMs;
}

bool RunTracker::arrived(const ClockDatagram &datagram, qint64 nowMs, std::optional<qint32> countUpEnd)
{
    if (silentEnd(nowMs)) { // the end came while nothing was heard
        ended_ = true;
        ++ends_;
        seconds_ = *endSeconds_;
    }
    const bool wasRunning = status(nowMs) == Status::Running;
    const qint64 gap = lastClockMs_ < 0 ? -1 : nowMs - lastClockMs_;
    if (datagram.kind == ClockDatagram::Kind::Pause) {
        // A counting clock paused more than a second after its last tick
        // ticked on meanwhile, its datagrams lost: the pause holds its time,
        // not past the end (reached, it ended there: "E N D", then S).
        if (wasRunning && ticking_ && direction_ != 0 && gap > PauseHoldsAfterMs) {
            const qint64 missed = (gap - LostTickPastMs) / TickSpacingMs;
            const qint64 moved = qint64{seconds_} + missed * direction_;
            if (direction_ > 0 || moved >= 0)
                seconds_ = qint32(moved);
        }
        lastMs_ = nowMs;
        paused_ = true;
        ticked_ = ticking_ = false;
        endSeconds_.reset();
        return true;
    }
    const qint32 seconds = datagram.seconds;
    const qint32 moved = seconds - seconds_;
    const int way = moved < 0 ? -1 : 1;
    const bool samePeriod = lastClockMs_ >= 0 && datagram.period == period_;
    // A second back right after a tick of a running clock: the datagram before
    // it, delivered late. The clock never stops by going back one second
    // within half a second of a tick.
    if (wasRunning && samePeriod && direction_ != 0 && moved == -direction_ && gap < ShortestTickGapMs)
        return false;
    // A tick right after a pause was sent before it (no operator starts the
    // clock again that fast): the paused clock's time, still paused.
    if (paused_ && samePeriod && direction_ != 0 && moved == direction_ && nowMs - lastMs_ < TickBehindPauseMs) {
        seconds_ = seconds;
        return true;
    }
    lastMs_ = nowMs;
    // One second on is a tick (or a one-second correction, told apart by what
    // follows): from a counting clock also soon after a late tick, when the
    // two came a second apart or more on average (a network that held one
    // and delivered both together); the second after a start a second after
    // the first, as the clock's timer keeps them (two corrections come
    // closer). More than one second on is the clock counting with datagrams
    // lost on the way, never faster than the time that passed: from a
    // standing clock any such move but ten seconds (corrections move one or
    // ten), from a running one only a second after its next tick was due.
    const qint64 n = std::abs(qint64{moved});
    bool tick = false;
    if (samePeriod && moved != 0 && (direction_ == 0 || way == direction_)) {
        if (n == 1 && wasRunning && ticking_)
            tick = gap >= TicksTogetherMs || nowMs - previousTickMs_ >= 2 * TickSpacingMs - TickSlackMs;
        else if (n == 1)
            tick = gap >= (wasRunning && ticked_ ? SecondTickGapMs : ShortestTickGapMs);
        else if (wasRunning)
            tick = (n - 1) * TickSpacingMs + TickSlackMs <= gap;
        else
            tick = n != TenSecondCorrection && (n - 1) * TickSpacingMs <= gap;
    }
    ticking_ = tick && ((ticked_ && gap <= LostAfterMs) || n > 1);
    if (tick)
        previousTickMs_ = ticked_ ? lastClockMs_ : nowMs;
    ticked_ = tick;
    if (tick)
        lastWay_ = way;
    if (ticking_ && direction_ == 0)
        direction_ = way;
    const std::optional<qint32> end = way < 0 ? std::optional<qint32>(0) : countUpEnd;
    const bool atEnd = end && seconds == *end;
    if (tick && atEnd) {
        if (!ended_)
            ++ends_;
        ended_ = true;
    } else if (!(ended_ && samePeriod && moved == 0)) { // a start after the end shows the end again
        ended_ = false;
    }
    endSeconds_ = tick && end && seconds - *end == -way ? end : std::nullopt;
    paused_ = false;
    period_ = datagram.period;
    seconds_ = seconds;
    lastClockMs_ = nowMs;
    return true;
}

RunTracker::Status RunTracker::status(qint64 nowMs) const
{
    if (!heardAny())
        return Status::Waiting;
    if (paused_)
        return Status::Paused;
    if (ended_ || silentEnd(nowMs))
        return Status::Ended;
    if (ticked_) {
        const qint64 since = nowMs - lastClockMs_;
        if (since <= LateTickMs || (ticking_ && since <= LostAfterMs))
            return Status::Running;
        if (ticking_)
            return Status::Lost;
    }
    return Status::Stopped;
}

std::optional<qint64> RunTracker::remainingMs(qint64 nowMs) const
{
    switch (status(nowMs)) {
    case Status::Ended:
        return lastWay_ < 0 ? std::optional<qint64>(0) : std::nullopt;
    case Status::Running:
        if (lastWay_ < 0)
            return countedOnMs(qint64{seconds_} * TickSpacingMs, nowMs - lastClockMs_, qint64{seconds_ - 1} * TickSpacingMs);
        return std::nullopt;
    case Status::Paused:
    case Status::Waiting:
    case Status::Stopped:
    case Status::Lost:
        break;
    }
    return std::nullopt;
}

} // namespace periodix::feed
