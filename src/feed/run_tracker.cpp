#include "feed/run_tracker.h"

#include <algorithm>
#include <cstdlib>

namespace periodix::feed {

namespace {
constexpr qint64 TickSpacingMs = 1000;
constexpr qint64 LateTickMs = 1500;    // a tick not followed within this: a correction
constexpr qint64 LostAfterMs = 3000;   // a counting clock silent for longer: link lost
constexpr qint64 ShortestTickGapMs = 500;
} // namespace

void RunTracker::arrived(const ClockDatagram &datagram, qint64 nowMs, std::optional<qint32> countUpEnd)
{
    const bool wasRunning = status(nowMs) == Status::Running;
    lastMs_ = nowMs;
    if (datagram.kind == ClockDatagram::Kind::Pause) {
        pausedRemainingMs_ = wasRunning ? remainingMs(nowMs) : std::nullopt;
        paused_ = true;
        ticked_ = ticking_ = ended_ = false;
        return;
    }
    const qint32 seconds = datagram.seconds;
    const qint64 gap = lastClockMs_ < 0 ? -1 : nowMs - lastClockMs_;
    const qint32 moved = seconds - seconds_;
    const int way = moved < 0 ? -1 : 1;
    const bool samePeriod = lastClockMs_ >= 0 && datagram.period == period_;
    // One second on is a tick (or a one-second correction, told apart by what
    // follows); more than one only while counting, with datagrams lost on
    // the way, never faster than the time that passed.
    const bool tick = samePeriod && moved != 0 && gap >= ShortestTickGapMs && (direction_ == 0 || way == direction_) &&
                      (std::abs(moved) == 1 || (wasRunning && std::abs(qint64{moved}) * TickSpacingMs <= gap + LateTickMs));
    ticking_ = tick && ticked_ && gap <= LostAfterMs;
    ticked_ = tick;
    if (tick)
        lastWay_ = way;
    if (ticking_ && direction_ == 0)
        direction_ = way;
    const bool atEnd = (way < 0 && seconds == 0) || (way > 0 && countUpEnd && seconds == *countUpEnd);
    if (tick && atEnd)
        ended_ = true;
    else if (!(ended_ && samePeriod && moved == 0)) // a start after the end shows the end again
        ended_ = false;
    paused_ = false;
    pausedRemainingMs_.reset();
    period_ = datagram.period;
    seconds_ = seconds;
    lastClockMs_ = nowMs;
}

RunTracker::Status RunTracker::status(qint64 nowMs) const
{
    if (!heardAny())
        return Status::Waiting;
    if (paused_)
        return Status::Paused;
    if (ended_)
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

} // namespace periodix::feed

namespace periodix::feed {

std::optional<qint64> RunTracker::remainingMs(qint64 nowMs) const
{
    switch (status(nowMs)) {
    case Status::Paused:
        return pausedRemainingMs_;
    case Status::Ended:
        return lastWay_ < 0 ? std::optional<qint64>(0) : std::nullopt;
    case Status::Running:
        if (lastWay_ < 0) {
            // Both moments are whole milliseconds: one less, so that their
            // rounding never puts the time shown ahead of the clock.
            return qint64{seconds_} * TickSpacingMs - std::clamp(nowMs - lastClockMs_ - 1, qint64{0}, TickSpacingMs);
        }
        return std::nullopt;
    case Status::Waiting:
    case Status::Stopped:
    case Status::Lost:
        break;
    }
    return std::nullopt;
}

} // namespace periodix::feed
