#pragma once

#include "feed/datagram_parser.h"

#include <QString>

namespace periodix::feed {

// Watches the datagrams' arrival times. The clock sends only when it changes,
// so silence while it is stopped is normal; but once it was counting (two
// clock datagrams a second apart, the last within two seconds), a gap of more
// than three seconds means the link is lost, until datagrams arrive again.
class LinkMonitor {
public:
    void arrived(const ClockDatagram &datagram, qint64 nowMs);
    bool lost(qint64 nowMs) const;
    // The clock is counting now: clock datagrams a second apart, the last
    // within two seconds, no pause since.
    bool counting(qint64 nowMs) const;
    bool heardAny() const { return lastMs_ >= 0; }
    qint64 sinceLastMs(qint64 nowMs) const { return heardAny() ? nowMs - lastMs_ : -1; }

private:
    bool wasCounting() const;

    qint64 lastMs_ = -1;
    qint64 previousClockMs_ = -1;
    qint64 lastClockMs_ = -1;
    bool lastWasPause_ = false;
};

} // namespace periodix::feed
