#pragma once

#include "feed/clock_id.h"

#include <QStringList>

#include <map>

namespace periodix::feed {

// Which clock a mirror follows: the one given, or else the first heard;
// others are named, not shown (the most recent few, the rest counted, each
// forgotten a minute after it last spoke). A clock that is stopped, paused or
// ended may be silent for as long as it likes (a time-out, the break between
// periods): it is never left.
// - Left to itself, the mirror moves to another clock only when the one it
//   follows lost its link while counting and stayed silent for ten seconds
//   (the operator's machine came back with a new address); given an address
//   without a port, to another port of it when the one it follows has been
//   silent for ten seconds (Periodix started again on that machine). Either
//   way only to a clock that began to speak after the one it follows fell
//   silent, never to one heard all along (the other court).
// - A hall feed of the game the followed clock told of, from a new port of
//   its address once the old port has been silent longer than a lost feed,
//   is that clock started again (--resume): followed at once, and its game
//   goes on. While the old port is heard, a second one is another clock.
class ClockChoice {
public:
    // What the mirror knows of the clock it follows, for the choice.
    struct Followed {
        qint64 lastMs = -1;    // when it was last heard
        bool lost = false;     // it lost its link while counting
        bool sameGame = false; // the arrival is a feed datagram of the game it told of
    };
    enum class Verdict {
        Follows,  // the clock followed (or the first one chosen)
        Other,    // another clock: named, not shown
        Replaces, // another clock that takes the silent one's place: its reading starts afresh
        Resumed,  // the followed clock started again on a new port: its reading goes on
    };

    static constexpr qint64 GoneAfterMs = 10'000;  // a followed clock silent this long may be replaced
    static constexpr qint64 OtherHeardMs = 60'000; // another clock is named this long after it spoke
    static constexpr int OthersKept = 256;         // other clocks kept to be named or counted; the oldest go first
    static constexpr int OthersNamed = 4;

    explicit ClockChoice(ClockId from = {}) : from_(std::move(from)) {}

    Verdict take(const ClockId &sender, qint64 nowMs, const Followed &followed);
    const ClockId &followed() const { return followed_; }
    // The others heard lately, the most recent first: the first few named,
    // how many more.
    QStringList others(qint64 nowMs, int &more) const;

private:
    struct Heard {
        qint64 first; // since when it has been heard
        qint64 last;
    };
    struct Before {
        bool operator()(const ClockId &a, const ClockId &b) const
        {
            return a.address != b.address ? a.address < b.address : a.port < b.port;
        }
    };
    void heardOther(const ClockId &sender, qint64 nowMs);

    ClockId from_;
    ClockId followed_;
    std::map<ClockId, Heard, Before> others_; // at most OthersKept
    qint64 prunedMs_ = -1;
};

} // namespace periodix::feed
