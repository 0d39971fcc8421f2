// Feeds arbitrary bytes to the companions' reader of the hall feed. Whatever
// it accepts is within the ranges a clock can have, and written again as
// Periodix writes it, reads back the same, but for a legend cut to fit.

#include "protocol/hall_feed.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace periodix::protocol;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<HallFeed> feed = parseHallFeed(bytes);
    if (!feed)
        return 0;
    if (bytes.size() > LongestHallFeed || feed->seq < 1 || feed->clock.period < 1 || feed->clock.period > feed->clock.periods
        || feed->clock.periods > 32767 || feed->clock.game.isEmpty() || feed->clock.legend.size() > LongestLegend)
        std::abort();
    const std::optional<HallFeed> again = parseHallFeed(encodeHallFeed(*feed));
    if (!again || !feed->clock.legend.startsWith(again->clock.legend))
        std::abort();
    HallFeed cut = *feed;
    cut.clock.legend = again->clock.legend;
    if (*again != cut)
        std::abort();
    return 0;
}
