#include "platform/monotonic_clock.h"

#include <chrono>

namespace periodix {

namespace {
class SteadyClock final : public MonotonicClock {
public:
    qint64 nowNs() const override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
} // namespace

MonotonicClock &steadyClock()
{
    static SteadyClock clock;
    return clock;
}

} // namespace periodix
