#include "feed/link_monitor.h"

#include <cstdlib>

namespace periodix::feed {

void LinkMonitor::arrived(const ClockDatagram &datagram, qint64 nowMs)
{
    lastMs_ = nowMs;
    lastWasPause_ = datagram.kind == ClockDatagram::Kind::Pause;
    if (datagram.kind == ClockDatagram::Kind::Clock) {
        previousClockMs_ = lastClockMs_;
        lastClockMs_ = nowMs;
    }
}

bool LinkMonitor::wasCounting() const
{
    if (lastWasPause_ || previousClockMs_ < 0)
        return false;
    // The last two clock datagrams came about a second apart.
    const qint64 gap = lastClockMs_ - previousClockMs_;
    return gap >= 500 && gap <= 2000;
}

bool LinkMonitor::lost(qint64 nowMs) const
{
    return wasCounting() && nowMs - lastClockMs_ > 3000;
}

bool LinkMonitor::counting(qint64 nowMs) const
{
    return wasCounting() && nowMs - lastClockMs_ <= 2000;
}

} // namespace periodix::feed
