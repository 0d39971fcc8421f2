#include "feed/end_count.h"

#include <utility>

namespace periodix::feed {

using protocol::HallFeed;

void EndCount::datagramShown(int datagramEnds, bool feedHeard, bool datagramsTell)
{
    // An end the feed told, or will, is no end of the datagrams'.
    if (feedHeard && guessed(datagramEnds, datagramsTell) == 0)
        datagramEndsSeen_ = datagramEnds;
}

void EndCount::feedTaken(const std::optional<HallFeed> &before, const HallFeed &feed, int datagramEnds,
                         bool datagramsTell, int datagramPeriod)
{
    const int guessed = this->guessed(datagramEnds, datagramsTell);
    guessedEnds_ += guessed;
    datagramEndsSeen_ = datagramEnds;
    if (guessed > 0)
        endGuessedPeriod_ = datagramPeriod;
    if (feed.clock.period != endGuessedPeriod_ || feed.clock.run == HallFeed::State::Stopped)
        endGuessedPeriod_ = 0;
    const bool sameGame = before && before->clock.game == feed.clock.game;
    if (sameGame && feed.clock.run == HallFeed::State::Ended && before->clock.run != HallFeed::State::Ended
        && !(before->clock.period == feed.clock.period && before->clockTenths == feed.clockTenths))
        feedEnds_ += std::exchange(endGuessedPeriod_, 0) == feed.clock.period ? 0 : 1;
}

} // namespace periodix::feed
