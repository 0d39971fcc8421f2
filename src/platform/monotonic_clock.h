#pragma once

#include <QtGlobal>

namespace periodix {

// A monotonic time source in nanoseconds. The clock timer measures with it,
// and tests replace it with one they advance by hand.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nowNs() const = 0;
};

// The machine's steady clock.
MonotonicClock &steadyClock();

} // namespace periodix
