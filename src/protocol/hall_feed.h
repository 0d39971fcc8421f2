#pragma once

#include "protocol/clock_state.h"
#include "protocol/ports.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace periodix::protocol {

// The hall feed: Periodix's whole state in one datagram of JSON, sent at once
// after every change and repeated four times a second, so that a mirror
// never has to guess from the clock datagrams what the clock is doing.
// {"v":1,"seq":1234,"game":"9f2c...","state":"running","period":2,"periods":4,
//  "legend":"2nd Half","timer":"countdown","length":600,"clock":443.2,"time":"07:24"}
struct HallFeed {
    using State = ClockState::Run;

    qint64 seq = 0;     // every feed datagram of one run of Periodix, repeats included, from 1
    ClockState clock;   // its game, run state ("state"), period, periods, legend, timer and length;
                        // the seconds of its digits (read, not sent); no part of a second
    qint64 clockTenths = 0; // the clock in tenths of a second, the running second's part included
    QString time;       // the digits, exactly as in the clock datagram

    bool operator==(const HallFeed &) const = default;
};

inline constexpr int HallFeedVersion = 1;
// Far more than Periodix sends (a legend of the longest, every character
// escaped); a longer datagram is no feed.
inline constexpr int LongestHallFeed = 1024;
// A legend longer than this is no legend of a period set.
inline constexpr int LongestLegend = 255;

// The feed datagram numbered `seq` of the clock's state.
HallFeed hallFeed(const ClockState &state, qint64 seq);

// A signed feed, for a key Periodix and its companions share: the JSON, a
// line feed, and HMAC-SHA-256 of the JSON's bytes under the key in 64
// lower-case hexadecimal digits.
inline constexpr int SignatureSize = 1 + 64;
QByteArray signHallFeed(const QByteArray &json, const QByteArray &key);
// The JSON of a signed feed datagram whose code is right; nothing otherwise.
std::optional<QByteArray> verifiedHallFeed(const QByteArray &datagram, const QByteArray &key);

// A legend too long for the datagram is cut to fit.
QByteArray encodeHallFeed(const HallFeed &feed);
// Exactly one JSON object of version 1 with every field present and within
// its range, no longer than LongestHallFeed; nothing otherwise.
std::optional<HallFeed> parseHallFeed(const QByteArray &bytes);

} // namespace periodix::protocol
