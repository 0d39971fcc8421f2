#include "feed/clock_feed.h"

#include <QtTest>

using namespace periodix::feed;

namespace {
// Runs "ms:payload[@sender] ... ?askedAt" (senders 127.0.0.2 unless named)
// through a feed with the settings "from=ADDRESS" or "set=legend:seconds,..."
// (no seconds: Ask me); the state at the moment asked.
FeedState run(const QString &arrivals, const QString &settings)
{
    FeedSettings feedSettings;
    if (settings.startsWith("from="))
        feedSettings.from = settings.mid(5);
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
        feed.receive(payload.toLatin1(), sender, arrival.section(u':', 0, 0).toLongLong());
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
    QTest::newRow("counting") << Counting + "?2500" << "" << "running 1/09:58";
    QTest::newRow("the first tick after a start runs at once") << Started + "?30100" << "" << "running 1/09:59";
    QTest::newRow("a one-second correction: stopped once nothing follows") << Started + "?31600" << ""
                                                                           << "stopped 1/09:59";
    QTest::newRow("paused keeps the time") << "0:p2t05:00 1000:p2t04:59 1400:pause ?9000" << "" << "paused 2/04:59";
    QTest::newRow("silent while counting: lost") << Counting + "?5001" << "" << "lost 1/09:58";
    QTest::newRow("three seconds is not yet lost") << Counting + "?5000" << "" << "running 1/09:58";
    QTest::newRow("stopped clock: silence is normal") << "0:p1t10:00 9000:p1t09:59 ?60000" << "" << "stopped 1/09:59";
    QTest::newRow("back after a loss") << Counting + "9000:p1t09:51 10000:p1t09:50 ?10100" << "" << "running 1/09:50";
    QTest::newRow("a correction while running stops it") << Counting + "2400:p1t09:48 ?2500" << "" << "stopped 1/09:48";
    QTest::newRow("a reset while running stops it") << Counting + "2900:p1t10:00 ?9000" << "" << "stopped 1/10:00";
    QTest::newRow("a countdown at 00:00 has ended: silence is no loss")
        << "0:p1t00:02 1000:p1t00:01 2000:p1t00:00 ?60000" << "" << "ended 1/00:00";
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
    QTest::newRow("E N D, S, S: pause and the end again") << toTheEnd + "3000:p1t00:00 5000:pause 7000:p1t00:00 ?8000"
                                                           << "" << "ended 1/00:00 horns=1";
    QTest::newRow("a pause after the end") << toTheEnd + "3000:p1t00:00 5000:pause ?8000" << "" << "paused 1/00:00";
    // Jitter.
    QTest::newRow("a tick 600 ms late, the next on time") << Counting + "3600:p1t09:57 4000:p1t09:56 ?4100" << ""
                                                          << "running 1/09:56";
    QTest::newRow("a tick 350 ms early") << Counting + "2650:p1t09:57 4000:p1t09:56 ?4100" << "" << "running 1/09:56";
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
    QTest::newRow("not before") << Counting + "11900:p2t05:00@127.0.0.3 ?12100" << ""
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
        << "0:p1t10:00@127.0.0.2:40000 11000:p1t08:00@127.0.0.2:40001 ?11100" << "from=127.0.0.2:40000"
        << "stopped 1/10:00 | 127.0.0.2:40000 127.0.0.2:40001";
    QTest::newRow("the most recent other clocks named, the rest counted")
        << "0:p1t10:00 1:p1t1:00@127.0.0.9 2:p1t10:00@127.0.0.3 3:p1t10:00@127.0.0.4 4:p1t10:00@127.0.0.5 "
           "5:p1t10:00@127.0.0.6 6:p1t10:00@127.0.0.7 ?100"
        << "" << "stopped 1/10:00 | 127.0.0.2 127.0.0.7 127.0.0.6 127.0.0.5 127.0.0.4 +1";
    QTest::newRow("other clocks forgotten a minute after they spoke")
        << "0:p1t10:00 1000:p1t10:00@127.0.0.3 30000:p1t10:00@127.0.0.4 ?61500" << ""
        << "stopped 1/10:00 | 127.0.0.2 127.0.0.4";
    QTest::newRow("--from: never another") << "0:p1t10:00 60000:p2t05:00@127.0.0.3 ?60100" << "from=127.0.0.2"
                                           << "stopped 1/10:00 | 127.0.0.2 127.0.0.3";
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
