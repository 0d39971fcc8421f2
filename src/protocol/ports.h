#pragma once

#include <QtGlobal>

namespace periodix::protocol {

// The clock datagrams' UDP port.
inline constexpr quint16 ClockPort = 7699;
// The hall feed's, unless --hall-feed-port names another.
inline constexpr quint16 HallFeedPort = 7700;

} // namespace periodix::protocol
