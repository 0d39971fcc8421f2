#pragma once

#include "feed/clock_feed.h"

#include <QByteArray>

namespace periodix::web {

// The clock as JSON for the page and for other tools:
// {"state":"running","period":1,"legend":"1st Quarter","time":"09:58",
//  "counting":true,"countingDown":true,"sender":"192.168.0.10","otherClocks":[],
//  "secondsSinceLast":0.4,"ignored":0}
// period, legend, time and sender are null until known (the legend needs the
// period set). The page's updates leave out secondsSinceLast, which changes
// every moment, and the count of ignored datagrams, which the page does not
// show: a page hears of what it shows.
QByteArray clockJson(const feed::FeedState &state, bool forTools);

} // namespace periodix::web
