#pragma once

// What the benchmarks of the clock window share: a monotonic clock they move
// by hand, the settings they stand in for, and the CPU time the process has
// used.

#include "clock/common.h"
#include "main_window/frm_main.h"
#include "platform/monotonic_clock.h"

#include <sys/resource.h>

namespace bench {

class HandClock final : public periodix::MonotonicClock {
public:
    qint64 nowNs() const override { return now; }
    qint64 now = 1'000'000'000'000;
};

// What "Ok" would put on the clock: one countdown period of 546 minutes, its
// datagrams to loopback.
inline void oneLongHalf(periodix::frmMAIN &)
{
    using namespace periodix::common;
    PeriodTable.redim(1);
    PeriodTable(1) = PeriodRecord{QStringLiteral("1st Half"), periodix::False, 546, 0};
    PeriodCount = 1;
    CurrentPeriod = 1;
    TimerMode = CountdownTimer;
    BroadcastAddress = QStringLiteral("127.0.0.255");
}

// User and system time, in milliseconds.
inline double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
           + usage.ru_stime.tv_usec / 1e3;
}

} // namespace bench
