#pragma once

#include "platform/monotonic_clock.h"

// A monotonic clock that moves only when the test says so.
class ManualClock final : public periodix::MonotonicClock {
public:
    qint64 nowNs() const override { return now; }
    void advanceMs(double ms) { now += static_cast<qint64>(ms * 1'000'000); }
    void setMs(double ms) { now = start + static_cast<qint64>(ms * 1'000'000); }

    static constexpr qint64 start = 1'000'000'000'000; // an arbitrary, non-zero origin
    qint64 now = start;
};
