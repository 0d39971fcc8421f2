// What the hall feed costs while the clock counts: the clock window ticks
// through a countdown on a hand-driven clock, a quarter of a second at a
// time, once without and once with the hall feed (its datagrams, like the
// clock's, go to loopback, 127.0.0.255), and the process's CPU time per
// minute of running clock is compared: the feed's share of one core. The
// window paints on Qt's offscreen platform, which stands in for the screen.
//
//   hall_feed_cost [minutes of clock, default 30]

#include "clock/common.h"
#include "main_window/frm_main.h"
#include "main_window/hall_feed_sender.h"
#include "platform/monotonic_clock.h"
#include "platform/udp_sender.h"
#include "protocol/ports.h"
#include "window_bench.h"

#include <QApplication>

#include <cstdio>

using namespace periodix;
using namespace periodix::common;

namespace {

using bench::cpuMs;
using bench::HandClock;

// The CPU time of `seconds` of counting clock, and the feed datagrams sent.
std::pair<double, int> count(int seconds, bool feed)
{
    HandClock clock;
    UdpSender sender;
    frmMAIN window(sender, bench::oneLongHalf, clock);
    if (feed)
        window.useHallFeed(protocol::HallFeedPort);
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();
    window.cmdSTART_Click();
    const double cpu0 = cpuMs();
    for (int quarter = 0; quarter < seconds * 4; ++quarter) {
        clock.now += 250'000'000;
        window.Timer1().deliverDue();
        if (feed) {
            window.hallFeed()->echoes().deliverDue();
            window.hallFeed()->repeats().deliverDue();
        }
        QCoreApplication::processEvents(); // the refresh is painted, as on the screen
    }
    return {cpuMs() - cpu0, seconds * 5};
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int seconds = minutes * 60;
    count(60, true); // warm up fonts and sockets
    const double alone = count(seconds, false).first;
    const auto [withFeed, datagrams] = count(seconds, true);
    const double feedMsPerMinute = (withFeed - alone) / minutes;
    std::printf("%d minutes of counting clock\n", minutes);
    std::printf("clock alone:          CPU %.1f ms a minute\n", alone / minutes);
    std::printf("clock and hall feed:  CPU %.1f ms a minute\n", withFeed / minutes);
    std::printf("the feed:             %.2f ms a minute, %.1f us a datagram (5 a second), %.4f %% of a core\n",
                feedMsPerMinute, (withFeed - alone) * 1000 / datagrams, feedMsPerMinute / 600);
    return 0;
}
