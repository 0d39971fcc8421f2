#pragma once

#include "protocol/hall_feed.h"

#include <optional>

namespace periodix::feed {

// The hall feed of the clock followed: its newest datagram by count, and how
// long it has been silent. The feed repeats every 250 ms.
class FeedSequence {
public:
    // Four repeats missed (a second) and the fifth late: a lost link.
    static constexpr qint64 LostAfterMs = 1300;
    // A count that goes back after this much silence is Periodix started again.
    static constexpr qint64 RestartMs = 2000;
    // Periodix sends a feed datagram for each change, three echoes of a
    // change of state within 150 ms, and a repeat every 250 ms: even an
    // operator holding a key down keeps under 60 a second. A count further on
    // than this many a second since the newest (and a burst) is no count of
    // the clock's: a forged one would hold the screens and sound a horn.
    static constexpr qint64 MostPerSecond = 100;
    static constexpr qint64 MostBurst = 20;

    // A signed feed takes another game, or a count that went back, only once
    // the newest has been silent for RestartMs: a replay of a signed
    // datagram recorded earlier changes nothing while the clock is heard.
    explicit FeedSequence(bool signedFeed = false) : signed_(signedFeed) {}

    // Whether the datagram is newer than the newest: not a repeat heard
    // twice, an older one that came late, or a count the time cannot explain.
    bool isNewer(const protocol::HallFeed &feed, qint64 nowMs) const;
    void take(const protocol::HallFeed &feed, qint64 nowMs);
    // The clock started again on a new port: its count starts anew.
    void restart() { restarted_ = true; }

    const std::optional<protocol::HallFeed> &newest() const { return newest_; }
    qint64 heardMs() const { return heardMs_; }
    bool lost(qint64 nowMs) const { return nowMs - heardMs_ > LostAfterMs; }

private:
    std::optional<protocol::HallFeed> newest_;
    qint64 heardMs_ = -1;
    bool restarted_ = false;
    bool signed_;
};

} // namespace periodix::feed
