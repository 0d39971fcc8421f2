#pragma once

#include "feed/clock_feed.h"

#include <QByteArray>

namespace periodix::web {

// The clock as JSON for the page and for other tools:
// {"state":"running","period":1,"legend":"1st Quarter","time":"09:58",
//  "counting":true,"countingDown":true,"sender":"192.168.0.10","otherClocks":[],
//  "secondsSinceLast":0.4,"ignored":0,"source":"feed","left":443200}
// source: "feed" while the clock's hall feed is heard, "datagrams" otherwise;
// left: the milliseconds left in a counting-down period as the feed tells
// them, at the moment of sending (null without the feed), which the page
// counts on from.
// period, legend, time and sender are null until known (the legend needs the
// period set); game, periods, length and timer come with the hall feed alone. The page's updates leave out secondsSinceLast, which changes
// every moment, and the count of ignored datagrams, which the page does not
// show: a page hears of what it shows.
QByteArray clockJson(const feed::FeedState &state, bool forTools, bool withLeft = true);

} // namespace periodix::web
