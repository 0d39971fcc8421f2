#include "display/link_monitor.h"

#include <cstdlib>

namespace periodix::display {

void LinkMonitor::arrived(const ClockDatagram &datagram, qint64 nowMs)
{
    lastMs_ = nowMs;
    lastWasPause_ = datagram.kind == ClockDatagram::Kind::Pause;
    if (datagram.kind == ClockDatagram::Kind::Clock) {
        previousClockMs_ = lastClockMs_;
        lastClockMs_ = nowMs;
    }
}

bool LinkMonitor::lost(qint64 nowMs) const
{
    if (lastWasPause_ || previousClockMs_ < 0)
        return false;
    // Counting: the last two clock datagrams came about a second apart.
    const qint64 gap = lastClockMs_ - previousClockMs_;
    const bool counting = gap >= 500 && gap <= 2000;
    return counting && nowMs - lastClockMs_ > 3000;
}

} // namespace periodix::display
