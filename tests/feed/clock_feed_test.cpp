#include "feed/clock_feed.h"

#include <QtTest>

using namespace periodix::feed;

namespace {
// Runs "ms:payload[@sender] ... ?askedAt" (senders 127.0.0.2 unless named)
// through a feed with the settings "from=ADDRESS" or "set=legend:seconds,..."
// (no seconds: Ask me); the state at the moment asked. A payload
// "F=state/period/time/clock/seq[/game]" is a hall feed datagram (of two
// countdown periods of ten minutes, both called "Half"), "F=junk" a bad one;
// with "key=KEY", feed datagrams are signed with it, "f=..." with another.
FeedState run(const QString &arrivals, const QString &settings)
{
    FeedSettings feedSettings;
    if (settings.startsWith("from="))
        feedSettings.from = ClockId::fromName(settings.mid(5));
    if (settings.startsWith("key="))
        feedSettings.key = settings.mid(4).toLatin1();
    for (const QString &period : settings.startsWith("set=") ? settings.mid(4).split(',') : QStringList()) {
        const QString seconds = period.section(u':', 1);
        feedSettings.set.periods.append(
            {period.section(u':', 0, 0), seconds.isEmpty() ? std::nullopt : std::optional<qint32>(seconds.toInt())});
    }
    ClockFeed feed(feedSettings);
    const QStringList words = arrivals.split(u' ', Qt::SkipEmptyParts);
    for (const QString &arrival : words.mid(0, words.size() - 1)) {
        const QString payload = arrival.section(u':', 1).section(u'@', 0, 0);
        const QString sender = arrival.contains(u'@') ? arrival.section(u'@', 1) : "127.0.0.2";
        const qint64 at = arrival.section(u':', 0, 0).toLongLong();
        if (!payload.startsWith("F=") && !payload.startsWith("f=")) {
            feed.receive(payload.toLatin1(), sender, at);
            continue;
        }
        const QStringList f = payload.mid(2).split(u'/');
        const QByteArray json = f.size() < 5 ? f[0].toLatin1()
                                : QString(R"({"v":1,"seq":%5,"game":"%6","state":"%1","period":%2,"periods":2,)"
                                          R"("legend":"Half","timer":"countdown","length":600,"clock":%4,"time":"%3"})")
                                      .arg(f[0], f[1], f[2], f[3], f[4], f.value(5, "g1"))
                                      .toUtf8();
        const QByteArray key = payload.startsWith('f') ? "forger" : feedSettings.key;
        feed.receiveFeed(key.isEmpty() ? json : periodix::protocol::signHallFeed(json, key), sender, at);
    }
    return feed.state(words.last().mid(1).toLongLong());
}

const QString Counting = "0:p1t10:00 1000:p1t09:59 2000:p1t09:58 ";
const QString Started = "0:p1t10:00 30000:p1t09:59 ";
const QString CountingUp = "0:p1t00:01 1000:p1t00:02 2000:p1t00:03 ";
} // namespace

// The state a mirror of the clock shows, from datagrams at given moments.
class ClockFeedTest : public QObject {
    Q_OBJECT
private slots:
    void state_data();
    void state();
    void tenths_data();
    void tenths();
};

void ClockFeedTest::state_data()
{
    QTest::addColumn<QString>("arrivals");
    QTest::addColumn<QString>("settings");
    // "state period/time [legend]", then "horns=N" (how often the horn sounds)
    // and "| the clock followed, others heard" where the row asks
    QTest::addColumn<QString>("shown");
    QTest::newRow("nothing yet") << "?5000" << "" << "waiting 0/";
    QTest::newRow("only garbage") << "0:hello 10:p01t10:00 ?20" << "" << "waiting 0/";
    QTest::newRow("first clock datagram: stopped") << "0:p1t10:00 ?100" << "" << "stopped 1/10:00 | 127.0.0.2";
    QTest::newRow("the first tick after a start runs at once") << Started + "?30100" << "" << "running 1/09:59";
    QTest::newRow("a one-second correction: stopped once nothing follows") << Started + "?31600" << ""
                                                                           << "stopped 1/09:59";
    QTest::newRow("a pause 1.2 s after the last tick: one lost before it") << Counting + "3201:pause ?9000" << ""
                                                                          << "paused 1/09:57";
    QTest::newRow("not closer") << Counting + "3200:pause ?9000" << "" << "paused 1/09:58";
    QTest::newRow("two lost: the end, then S") << "0:p1t00:04 1000:p1t00:03 2000:p1t00:02 4300:pause ?5000" << ""
                                               << "paused 1/00:00";
    QTest::newRow("a tick that comes just after its pause") << "0:p1t00:04 1000:p1t00:03 2000:p1t00:02 3000:pause 3030:p1t00:01 ?9000"
                                                            << "" << "paused 1/00:01 horns=0";
    QTest::newRow("a pause before any time") << "0:pause ?100" << "" << "paused 0/";
    QTest::newRow("counting up below zero, one lost before the pause")
        << "0:p1t-02:50 1000:p1t-02:51 2000:p1t-02:52 3201:pause ?9000" << "" << "paused 1/-02:53";
    QTest::newRow("silent while counting: lost") << Counting + "?5001" << "" << "lost 1/09:58";
    QTest::newRow("three seconds is not yet lost") << Counting + "?5000" << "" << "running 1/09:58";
    QTest::newRow("stopped clock: silence is normal") << "0:p1t10:00 9000:p1t09:59 ?60000" << "" << "stopped 1/09:59";
    QTest::newRow("back after a loss: seven seconds on, six later") << Counting + "8000:p1t09:51 ?8100" << "" << "running 1/09:51";
    QTest::newRow("a correction while running stops it") << Counting + "2400:p1t09:48 ?2500" << "" << "stopped 1/09:48";
    QTest::newRow("a reset while running stops it") << Counting + "2900:p1t10:00 ?9000" << "" << "stopped 1/10:00";
    QTest::newRow("ended with datagrams lost on the way")
        << "0:p1t00:04 1000:p1t00:03 2000:p1t00:02 4000:p1t00:00 ?60000" << "" << "ended 1/00:00";
    QTest::newRow("a correction to 00:00 is no end") << "0:p1t00:08 1000:p1t00:07 2000:p1t00:06 2300:p1t00:00 ?2400"
                                                     << "" << "stopped 1/00:00 horns=0";
    // The end whose own datagram was lost, and ends that follow no running clock.
    const QString toTheEnd = "0:p1t00:03 1000:p1t00:02 2000:p1t00:01 ";
    QTest::newRow("the 00:00 datagram lost: ended past the next tick") << toTheEnd + "?3600" << ""
                                                                        << "ended 1/00:00 horns=1";
    QTest::newRow("not before that tick is due") << toTheEnd + "?3400" << "" << "running 1/00:01";
    QTest::newRow("a late 00:00 after it changes nothing") << toTheEnd + "5000:p1t00:00 ?60000" << ""
                                                            << "ended 1/00:00 horns=1";
    QTest::newRow("counting up, the end datagram lost") << CountingUp + "?3600" << "set=Final:4" << "ended 1/00:04 Final";
    QTest::newRow("paused at 00:01 and started: the end sounds") << toTheEnd + "2300:pause 9000:p1t00:00 ?9100" << ""
                                                                 << "ended 1/00:00 horns=1";
    QTest::newRow("corrected to 00:01 and started: the end sounds") << "0:p1t00:05 500:p1t00:01 5000:p1t00:00 ?5100"
                                                                    << "" << "ended 1/00:00 horns=1";
    // Corrections and ticks from a standing clock, told apart by their spacing
    // and size; ticks the network held and delivered together.
    const QString paused = "0:p1t05:00 1000:p1t04:59 1400:pause ";
    QTest::newRow("two -1 on a paused clock 0.8 s apart: corrections") << paused + "5000:p1t04:58 5800:p1t04:57 ?9000"
                                                                      << "" << "stopped 1/04:57";
    QTest::newRow("0.85 s apart: a start's first two ticks") << paused + "5000:p1t04:58 5850:p1t04:57 ?5900" << ""
                                                             << "running 1/04:57";
    QTest::newRow("two -1 at 00:03 0.8 s apart: no end")
        << "0:p1t00:04 1000:p1t00:03 1400:pause 5000:p1t00:02 5800:p1t00:01 ?9000" << "" << "stopped 1/00:01 horns=0";
    QTest::newRow("00:01 held and delivered with 00:00: the end")
        << "0:p1t00:04 1000:p1t00:03 2000:p1t00:02 3990:p1t00:01 4000:p1t00:00 ?4100" << "" << "ended 1/00:00 horns=1";
    QTest::newRow("a -1 50 ms after a tick: a correction") << Counting + "2050:p1t09:57 ?3700" << ""
                                                           << "stopped 1/09:57";
    QTest::newRow("started again at 00:02, 00:01 lost: the end")
        << "0:p1t00:03 1000:p1t00:02 1300:pause 9000:p1t00:00 ?9100" << "" << "ended 1/00:00 horns=1";
    QTest::newRow("a -10 at 00:02 of a running clock: a correction")
        << "0:p1t00:04 1000:p1t00:03 2000:p1t00:02 3290:p1t00:00 ?5000" << "" << "stopped 1/00:00 horns=0";
    QTest::newRow("two seconds on once the next tick was due: counting")
        << "0:p1t00:04 1000:p1t00:03 2000:p1t00:02 3300:p1t00:00 ?5000" << "" << "ended 1/00:00 horns=1";
    QTest::newRow("ten seconds on from a standing clock: a correction") << paused + "9000:p1t04:49 ?9100" << ""
                                                                        << "stopped 1/04:49";
    QTest::newRow("started again at 00:02, 00:00 lost: ended past the next tick")
        << "0:p1t00:03 1000:p1t00:02 1300:pause 9000:p1t00:01 ?10501" << "" << "ended 1/00:00 horns=1";
    QTest::newRow("started again at 00:02: running until the next tick is late")
        << "0:p1t00:03 1000:p1t00:02 1300:pause 9000:p1t00:01 ?10500" << "" << "running 1/00:01";
    QTest::newRow("E N D, S, S: pause and the end again") << toTheEnd + "3000:p1t00:00 5000:pause 7000:p1t00:00 ?8000"
                                                           << "" << "ended 1/00:00 horns=1";
    QTest::newRow("a pause after the end") << toTheEnd + "3000:p1t00:00 5000:pause ?8000" << "" << "paused 1/00:00";
    // Jitter.
    QTest::newRow("a tick 600 ms late, the next on time") << Counting + "3600:p1t09:57 4000:p1t09:56 ?4100" << ""
                                                          << "running 1/09:56";
    QTest::newRow("a tick after its successor is not shown") << Counting + "3000:p1t09:57 3010:p1t09:58 ?3500" << ""
                                                             << "running 1/09:57";
    QTest::newRow("a start after the end shows the end again") << "0:p1t00:01 1000:p1t00:00 9000:p1t00:00 ?60000"
                                                               << "" << "ended 1/00:00";
    QTest::newRow("next period after the end") << "0:p1t00:01 1000:p1t00:00 9000:p2t10:00 ?60000" << ""
                                               << "stopped 2/10:00";
    QTest::newRow("counting up without the set: its end is a silence") << CountingUp + "?6000" << ""
                                                                       << "lost 1/00:03";
    QTest::newRow("counting up to the length in the set: ended") << CountingUp + "?6000" << "set=Final:3,Extra:600"
                                                                 << "ended 1/00:03 Final";
    QTest::newRow("counting up in an Ask me period: no end known")
        << "0:p2t00:01 1000:p2t00:02 2000:p2t00:03 ?6000" << "set=Final:3,Extra:" << "lost 2/00:03 Extra";
    QTest::newRow("a period beyond the set") << "0:p3t10:00 ?10" << "set=Final:3" << "stopped 3/10:00";
    // Each broadcast heard twice, milliseconds apart: still a lost link.
    QTest::newRow("copies do not hide a loss")
        << "0:p1t10:00 2:p1t10:00 1000:p1t09:59 1001:p1t09:59 2000:p1t09:58 2003:p1t09:58 ?5100" << ""
        << "lost 1/09:58";
    QTest::newRow("copies while counting") << "0:p1t10:00 3:p1t10:00 1000:p1t09:59 1002:p1t09:59 ?1500" << ""
                                           << "running 1/09:59";
    QTest::newRow("another clock is named, not shown") << "0:p1t10:00 500:p1t05:00@127.0.0.3 1000:p1t09:59 ?1100"
                                                       << "" << "running 1/09:59 | 127.0.0.2 127.0.0.3";
    QTest::newRow("--from: only that clock") << "0:p1t10:00 500:p2t05:00@127.0.0.3 ?600" << "from=127.0.0.3"
                                             << "stopped 2/05:00 | 127.0.0.3 127.0.0.2";
    QTest::newRow("--from: waits for it") << "0:p1t10:00 ?100" << "from=127.0.0.3" << "waiting 0/ |  127.0.0.2";
    // A clock is its address and port; silence while stopped, paused or
    // ended is a time-out or a break, never a reason to leave it.
    QTest::newRow("a lost clock silent ten seconds: the next one speaking")
        << Counting + "12000:p2t05:00@127.0.0.3 ?12100" << "" << "stopped 2/05:00 | 127.0.0.3";
    QTest::newRow("a lost clock silent under ten seconds is kept")
        << Counting + "11900:p2t05:00@127.0.0.3 ?12100" << "" << "lost 1/09:58 | 127.0.0.2 127.0.0.3";
    QTest::newRow("a lost pause: never the other court heard all along")
        << "0:p1t10:00 500:p2t05:00@127.0.0.3 1000:p1t09:59 2000:p1t09:58 12500:p2t04:48@127.0.0.3 ?12600" << ""
        << "lost 1/09:58 | 127.0.0.2 127.0.0.3";
    QTest::newRow("a stopped clock silent a minute is kept") << "0:p1t10:00 60000:p2t05:00@127.0.0.3 ?60100" << ""
                                                             << "stopped 1/10:00 | 127.0.0.2 127.0.0.3";
    QTest::newRow("a time-out: the paused clock is kept")
        << Counting + "2500:pause 5000:p1t05:00@127.0.0.3 14500:p1t04:51@127.0.0.3 ?14600" << ""
        << "paused 1/09:58 | 127.0.0.2 127.0.0.3";
    QTest::newRow("the break: the ended clock is kept") << toTheEnd + "3000:p1t00:00 20000:p1t09:00@127.0.0.3 ?20100"
                                                        << "" << "ended 1/00:00 | 127.0.0.2 127.0.0.3";
    QTest::newRow("two clocks on one machine, two ports")
        << "0:p1t10:00@127.0.0.2:40000 500:p1t05:00@127.0.0.2:40001 1000:p1t09:59@127.0.0.2:40000 "
           "1500:p1t04:59@127.0.0.2:40001 ?1600"
        << "" << "running 1/09:59 | 127.0.0.2:40000 127.0.0.2:40001";
    QTest::newRow("--from an address: its clock started again on another port")
        << "0:p1t10:00@127.0.0.2:40000 11000:p1t08:00@127.0.0.2:40001 ?11100" << "from=127.0.0.2"
        << "stopped 1/08:00 | 127.0.0.2:40001";
    QTest::newRow("--from address and port: that one only")
        << "0:p1t10:00@[::2]:40000 11000:p1t08:00@[::2]:40001 ?11100" << "from=[::2]:40000"
        << "stopped 1/10:00 [datagrams] | [::2]:40000 [::2]:40001";
    QTest::newRow("the most recent other clocks named, the rest counted")
        << "0:p1t10:00 1:p1t1:00@127.0.0.9 2:p1t10:00@127.0.0.3 3:p1t10:00@127.0.0.4 4:p1t10:00@127.0.0.5 "
           "5:p1t10:00@127.0.0.6 6:p1t10:00@127.0.0.7 ?100"
        << "" << "stopped 1/10:00 | 127.0.0.2 127.0.0.7 127.0.0.6 127.0.0.5 127.0.0.4 +1";
    QTest::newRow("other clocks forgotten a minute after they spoke")
        << "0:p1t10:00 1000:p1t10:00@127.0.0.3 30000:p1t10:00@127.0.0.4 ?61500" << ""
        << "stopped 1/10:00 | 127.0.0.2 127.0.0.4";
    // The hall feed: the clock says its state, repeated every 250 ms.
    const QString feedStopped = "0:F=stopped/1/10:00/600.0/1 250:F=stopped/1/10:00/600.0/2 ";
    QTest::newRow("a stopped clock's feed heard 1.3 s ago")
        << feedStopped + "?1550" << "" << "stopped 1/10:00 Half horns=0 [feed]";
    QTest::newRow("silent longer: its machine died") << feedStopped + "?1551" << "" << "lost 1/10:00 Half [feed]";
    QTest::newRow("two corrections look like ticks: the feed says stopped")
        << "0:p1t04:58 0:F=stopped/1/04:58/298.0/1 800:p1t04:57 800:F=stopped/1/04:57/297.0/2 "
           "1000:F=stopped/1/04:57/297.0/3 ?1500"
        << "" << "stopped 1/04:57 Half";
    QTest::newRow("an older feed datagram late is not shown")
        << "0:F=running/1/09:59/599.0/5 10:F=paused/1/09:59/599.4/4 ?20" << "" << "running 1/09:59 Half";
    QTest::newRow("the count back after two seconds: Periodix started again")
        << "0:F=running/1/09:59/599.0/500 2100:F=stopped/1/09:57/597.0/1 ?2200" << "" << "stopped 1/09:57 Half";
    QTest::newRow("the count back within two seconds: an old one")
        << "0:F=running/1/09:59/599.0/500 2000:F=stopped/1/09:57/597.0/1 ?2010" << "" << "lost 1/09:59 Half";
    const QString twoFeeds = "0:F=running/1/00:05/5.0/1 250:F=running/1/00:05/4.8/2 300:F=ended/1/00:00/0/";
    QTest::newRow("a count 25 on within 50 ms") << twoFeeds + "27 ?400" << "" << "ended 1/00:00 Half horns=1";
    QTest::newRow("26 on: no count of the clock's, and no horn")
        << twoFeeds + "28 500:F=running/1/00:05/4.5/3 ?600" << "" << "running 1/00:05 Half horns=0";
    const QString resumed = "0:F=running/1/00:01/1/1@127.0.0.2:1 1000:F=ended/1/00:00/0/5@127.0.0.2:1 ";
    const QString newPort = "F=stopped/2/10:00/600/1@127.0.0.2:2 ";
    QTest::newRow("--resume: its game from a new port once the old is silent")
        << resumed + "2301:" + newPort + "?2400" << "" << "stopped 2/10:00 Half horns=1 | 127.0.0.2:2";
    QTest::newRow("a second port while the first is heard: another clock")
        << resumed + "2300:" + newPort + "?2310" << "" << "lost 1/00:00 Half horns=1 | 127.0.0.2:1 127.0.0.2:2";
    const QString signedRunning = "0:F=running/1/00:05/5.0/1 100:p1t00:04 ";
    QTest::newRow("signed: a wrong code, or none, is no feed; the datagrams are not read")
        << signedRunning + "300:f=ended/1/00:00/0/2 400:F={} ?500" << "key=k" << "running 1/00:05 Half horns=0 ignored=2";
    QTest::newRow("signed: another game while the clock is heard (a replay)")
        << signedRunning + "2100:F=running/1/00:05/4/9 2200:F=ended/1/00:00/0/9/g0 ?2300" << "key=k" << "running 1/00:05 Half";
    QTest::newRow("another game: its count starts anew")
        << "0:F=running/1/09:59/599.0/500 100:F=stopped/1/10:00/600.0/1/g2 ?200" << "" << "stopped 1/10:00 Half";
    // One horn for each end, whatever was lost.
    QTest::newRow("the end with everything before it lost")
        << "0:F=running/1/00:05/5.0/1 5100:F=ended/1/00:00/0.0/22 ?5200" << "" << "ended 1/00:00 Half horns=1";
    QTest::newRow("E N D, S, S: one horn") << "0:F=running/1/00:01/1.0/1 1000:F=ended/1/00:00/0.0/5 "
                                              "2000:F=paused/1/00:00/0.0/9 3000:F=running/1/00:00/0.0/13 "
                                              "4000:F=ended/1/00:00/0.0/17 ?4100"
                                           << "" << "ended 1/00:00 Half horns=1";
    QTest::newRow("paused at 00:01 and started: a new end")
        << "0:F=paused/1/00:01/0.6/1 9000:F=running/1/00:01/0.6/40 9600:F=ended/1/00:00/0.0/43 ?9700" << ""
        << "ended 1/00:00 Half horns=1";
    QTest::newRow("a lost pause at 00:01 is no end")
        << "0:F=running/1/00:02/2.0/1 1000:p1t00:01 1000:F=running/1/00:01/1.0/5 1400:F=paused/1/00:01/0.6/7 "
           "2900:F=paused/1/00:01/0.6/13 ?3000"
        << "" << "paused 1/00:01 Half horns=0";
    const QString heldAtTheEnd = "0:p1t00:03 0:F=running/1/00:03/3.0/1 1000:F=running/1/00:02/2.0/5 1010:p1t00:02 "
                                 "2000:F=running/1/00:01/1.0/9 2010:p1t00:01 ";
    QTest::newRow("held, then the end told both ways: one horn")
        << heldAtTheEnd + "4500:F=running/1/00:01/0.5/11 4500:p1t00:00 4500:F=ended/1/00:00/0.0/17 ?4600" << ""
        << "ended 1/00:00 Half horns=1";
    QTest::newRow("and after the feed stopped") << heldAtTheEnd + "5100:F=running/1/00:01/0.5/11 5100:p1t00:00 "
                                                                  "5100:F=ended/1/00:00/0.0/17 ?5200"
                                                << "" << "ended 1/00:00 Half horns=1";
    QTest::newRow("the end guessed, the next period's end told") << heldAtTheEnd + "5100:F=stopped/2/00:02/2.0/20 "
                                                                    "6000:F=running/2/00:01/1.0/24 7000:F=ended/2/00:00/0.0/28 ?7100"
                                                                 << "" << "ended 2/00:00 Half horns=2";
    QTest::newRow("started on an ended period: no horn") << "0:F=ended/1/00:00/0.0/7 ?100" << ""
                                                         << "ended 1/00:00 Half horns=0";
    // Without a feed, or once it stops, the datagrams tell.
    QTest::newRow("the feed stops, the datagrams go on")
        << "0:F=running/1/09:59/599.0/1 1000:p1t09:58 2000:p1t09:57 3000:p1t09:56 ?3100" << ""
        << "running 1/09:56 [datagrams]";
    QTest::newRow("an end guessed before the feed came stays counted")
        << "0:p1t00:01 1000:p1t00:00 5000:F=stopped/2/10:00/600.0/1 ?5100" << "" << "stopped 2/10:00 Half horns=1";
    QTest::newRow("bad feeds are counted, not shown")
        << feedStopped + "300:F=junk 310:F={\"v\":2} ?400" << "" << "stopped 1/10:00 Half ignored=2";
    QTest::newRow("another clock's feed is another clock")
        << "0:p1t10:00 100:F=running/2/05:00/300.0/1@127.0.0.3 ?200" << "" << "stopped 1/10:00 | 127.0.0.2 127.0.0.3";
    QTest::newRow("a dead clock's feed: the next clock after ten seconds")
        << feedStopped + "11551:p2t05:00@127.0.0.3 ?11600" << "" << "stopped 2/05:00 | 127.0.0.3";
}

void ClockFeedTest::state()
{
    QFETCH(QString, arrivals);
    QFETCH(QString, settings);
    QFETCH(QString, shown);
    const FeedState state = run(arrivals, settings);
    QString text = QString("%1 %2/%3 %4").arg(statusName(state.status)).arg(state.period).arg(state.time, state.legend);
    if (shown.contains("horns="))
        text = text.trimmed() + QString(" horns=%1").arg(state.ends);
    if (shown.contains(u'['))
        text = text.trimmed() + (state.fromFeed ? " [feed]" : " [datagrams]");
    if (shown.contains("ignored="))
        text = text.trimmed() + QString(" ignored=%1").arg(state.ignored);
    if (shown.contains(u'|')) {
        text = text.trimmed() + " | " + (QStringList{state.sender} + state.otherClocks).join(' ');
        if (state.moreClocks > 0)
            text += QString(" +%1").arg(state.moreClocks);
    }
    QCOMPARE(text.trimmed(), shown);
    QCOMPARE(state.counting(), state.status == FeedState::Status::Running);
}

void ClockFeedTest::tenths_data()
{
    // What a display with tenths shows.
    QTest::addColumn<QString>("arrivals");
    QTest::addColumn<QString>("shown");
    const QString lastMinute = "0:p1t01:01 1000:p1t01:00 2000:p1t00:59 ";
    QTest::newRow("above a minute: mm:ss") << "0:p1t01:01 1000:p1t01:00 ?1050" << "01:00";
    QTest::newRow("the datagram's second") << lastMinute + "?2000" << "59.0";
    QTest::newRow("a tenth only once surely reached") << lastMinute + "?2100" << "59.0";
    QTest::newRow("then the next") << lastMinute + "?2101" << "58.9";
    QTest::newRow("never past the next second") << lastMinute + "?3600" << "58.0";
    QTest::newRow("the first tick after a start") << "0:p1t00:30 20000:p1t00:29 ?20310" << "28.7";
    QTest::newRow("a pause shows the clock's own time") << "0:p1t00:10 1000:p1t00:09 1430:pause ?9000" << "00:09";
    QTest::newRow("also at 00:01") << "0:p1t00:02 1000:p1t00:01 1500:pause ?9000" << "00:01";
    QTest::newRow("a pause while stopped") << "0:p1t00:10 1430:pause ?9000" << "00:10";
    QTest::newRow("the end") << "0:p1t00:01 1000:p1t00:00 ?9000" << "0.0";
    QTest::newRow("stopped by a correction") << "0:p1t00:20 1000:p1t00:19 1300:p1t00:09 ?1500" << "00:09";
    QTest::newRow("a lost link") << "0:p1t00:20 1000:p1t00:19 2000:p1t00:18 ?5100" << "00:18";
    QTest::newRow("counting up") << "0:p1t00:20 1000:p1t00:21 ?1500" << "00:21";
    QTest::newRow("the feed's own tenths") << "0:F=running/1/00:30/29.3/1 ?100" << "29.3";
    QTest::newRow("counted on from it") << "0:F=running/1/00:30/29.3/1 ?101" << "29.2";
    QTest::newRow("never past the next second before the feed says so") << "0:F=running/1/00:30/29.3/1 ?900"
                                                                         << "29.0";
    QTest::newRow("a paused feed: the clock's own time") << "0:F=paused/1/00:30/29.3/1 ?900" << "00:30";
    QTest::newRow("the feed's end") << "0:F=ended/1/00:00/0.0/1 ?900" << "0.0";
}

void ClockFeedTest::tenths()
{
    QFETCH(QString, arrivals);
    QFETCH(QString, shown);
    const FeedState state = run(arrivals, "");
    QCOMPARE(state.tenths.isEmpty() ? state.time : state.tenths, shown);
}

QTEST_GUILESS_MAIN(ClockFeedTest)
#include "clock_feed_test.moc"
