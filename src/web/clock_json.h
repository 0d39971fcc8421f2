#pragma once

#include "feed/clock_feed.h"

#include <QByteArray>

namespace periodix::web {

// The clock as JSON for the page and for other tools:
// {"state":"running","period":1,"time":"09:58","counting":true,
//  "sender":"192.168.0.10","secondsSinceLast":0.4,"ignored":0}
// period, time and sender are null before the first datagram that gives them.
// The page's updates leave out secondsSinceLast, which changes every moment.
QByteArray clockJson(const feed::FeedState &state, bool withAge);

} // namespace periodix::web
