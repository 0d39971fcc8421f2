#pragma once

#include "protocol/hall_feed.h"

#include <optional>

namespace periodix::feed {

// How often the clock followed reached the end of a period: the horn's count.
// While its hall feed is heard the feed alone tells of ends: a new end is
// the feed turning "ended" from a clock that stood elsewhere (also when what
// came between was lost), not from the same second of the same period
// ("E N D", pause, start), and never at the first sight of a game. The ends
// the clock datagrams tell count once the feed has stopped, and stay counted
// when it comes back; an end they told is the feed's next end of that
// period, which a held network may deliver after older ones.
class EndCount {
public:
    // The datagrams tell of ends only once the feed has been silent this
    // long: a network that holds both for a moment delivers the feed's own
    // end too.
    static constexpr qint64 FeedStoppedMs = 3000;

    // A clock datagram was shown. datagramsTell: no feed heard, or it stopped.
    void datagramShown(int datagramEnds, bool feedHeard, bool datagramsTell);
    // A feed datagram was taken after `before`, the newest until then, while
    // the datagrams showed `datagramPeriod`.
    void feedTaken(const std::optional<protocol::HallFeed> &before, const protocol::HallFeed &feed, int datagramEnds,
                   bool datagramsTell, int datagramPeriod);
    int count(int datagramEnds, bool datagramsTell) const
    {
        return feedEnds_ + guessedEnds_ + guessed(datagramEnds, datagramsTell);
    }

private:
    int guessed(int datagramEnds, bool datagramsTell) const { return datagramsTell ? datagramEnds - datagramEndsSeen_ : 0; }

    int feedEnds_ = 0;         // ends the feed told of
    int guessedEnds_ = 0;      // ends the datagrams told while the feed did not
    int datagramEndsSeen_ = 0; // the datagrams' ends counted so far
    int endGuessedPeriod_ = 0; // the period of an end they told that the feed has not told of yet
};

} // namespace periodix::feed
