#include "protocol/clock_state.h"

#include <algorithm>

namespace periodix::protocol {

namespace {
constexpr qint64 SecondNs = 1'000'000'000;
constexpr qint64 TenthNs = 100'000'000;
} // namespace

QString runName(ClockState::Run run)
{
    static const char *const names[] = {"running", "paused", "stopped", "ended"};
    return QLatin1String(names[int(run)]);
}

bool atPeriodEnd(bool countdown, qint32 seconds, qint32 length)
{
    return countdown ? seconds < 1 : seconds >= length;
}

qint64 clockTenths(const ClockState &state)
{
    const qint64 whole = qint64{state.seconds} * 10;
    const qint64 elapsed = std::clamp<qint64>(state.elapsedNs, 0, SecondNs);
    if (state.countdown) {
        if (state.seconds <= 0)
            return whole;
        // Up: 442.25 left is 442.3, which the clock has not yet passed.
        const qint64 left = qint64{state.seconds} * SecondNs - elapsed;
        return (left + TenthNs - 1) / TenthNs;
    }
    if (state.seconds >= state.length)
        return whole;
    return std::min((qint64{state.seconds} * SecondNs + elapsed) / TenthNs, qint64{state.length} * 10);
}

} // namespace periodix::protocol
