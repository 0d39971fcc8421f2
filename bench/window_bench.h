#pragma once

// What the benchmarks of the clock window share: a monotonic clock they move
// by hand, and the CPU time the process has used.

#include "platform/monotonic_clock.h"

#include <sys/resource.h>

namespace bench {

class HandClock final : public periodix::MonotonicClock {
public:
    qint64 nowNs() const override { return now; }
    qint64 now = 1'000'000'000'000;
};

// User and system time, in milliseconds.
inline double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
           + usage.ru_stime.tv_usec / 1e3;
}

} // namespace bench
