#include "feed/clock_feed.h"

#include <QtTest>

using namespace periodix::feed;

// The state a mirror of the clock shows, from datagrams at given moments.
class ClockFeedTest : public QObject {
    Q_OBJECT
private slots:
    void state_data();
    void state();
};

void ClockFeedTest::state_data()
{
    // "ms:payload" arrivals from 127.0.0.2, or "ms:payload@sender"; then the
    // moment asked about.
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<qint64>("askedAt");
    QTest::addColumn<QString>("shown");    // state period/time [legend]
    QTest::addColumn<QString>("settings"); // "from=ADDRESS", "set=legend:seconds,..." (none: Ask me)
    QTest::addColumn<QString>("clocks");   // the clock followed, and others heard; not checked when empty
    const QString none;
    QTest::newRow("nothing yet") << QStringList{} << qint64(5000) << "waiting 0/" << none << none;
    QTest::newRow("only garbage") << QStringList{"0:hello", "10:p01t10:00"} << qint64(20) << "waiting 0/" << none
                                  << none;
    QTest::newRow("first clock datagram: stopped") << QStringList{"0:p1t10:00"} << qint64(100) << "stopped 1/10:00"
                                                   << none << "127.0.0.2";
    QTest::newRow("counting") << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58"} << qint64(2500)
                              << "running 1/09:58" << none << none;
    QTest::newRow("the first tick after a start runs at once")
        << QStringList{"0:p1t10:00", "30000:p1t09:59"} << qint64(30100) << "running 1/09:59" << none << none;
    QTest::newRow("a one-second correction is stopped once nothing follows")
        << QStringList{"0:p1t10:00", "30000:p1t09:59"} << qint64(31600) << "stopped 1/09:59" << none << none;
    QTest::newRow("paused keeps the time") << QStringList{"0:p2t05:00", "1000:p2t04:59", "1400:pause"}
                                           << qint64(9000) << "paused 2/04:59" << none << none;
    QTest::newRow("silent while counting: lost")
        << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58"} << qint64(5001) << "lost 1/09:58" << none
        << none;
    QTest::newRow("three seconds is not yet lost")
        << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58"} << qint64(5000) << "running 1/09:58" << none
        << none;
    QTest::newRow("stopped clock: silence is normal")
        << QStringList{"0:p1t10:00", "9000:p1t09:59"} << qint64(60000) << "stopped 1/09:59" << none << none;
    QTest::newRow("back after a loss")
        << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58", "9000:p1t09:51", "10000:p1t09:50"}
        << qint64(10100) << "running 1/09:50" << none << none;
    QTest::newRow("a correction while running stops it")
        << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58", "2400:p1t09:48"} << qint64(2500)
        << "stopped 1/09:48" << none << none;
    QTest::newRow("a reset while running stops it")
        << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58", "2900:p1t10:00"} << qint64(9000)
        << "stopped 1/10:00" << none << none;
    QTest::newRow("a countdown at 00:00 has ended: silence is no loss")
        << QStringList{"0:p1t00:02", "1000:p1t00:01", "2000:p1t00:00"} << qint64(60000) << "ended 1/00:00" << none
        << none;
    QTest::newRow("ended with datagrams lost on the way")
        << QStringList{"0:p1t00:04", "1000:p1t00:03", "2000:p1t00:02", "4000:p1t00:00"} << qint64(60000)
        << "ended 1/00:00" << none << none;
    QTest::newRow("a correction to 00:00 is no end")
        << QStringList{"0:p1t00:08", "1000:p1t00:07", "2000:p1t00:06", "2300:p1t00:00"} << qint64(2400)
        << "stopped 1/00:00" << none << none;
    QTest::newRow("a start after the end shows the end again")
        << QStringList{"0:p1t00:01", "1000:p1t00:00", "9000:p1t00:00"} << qint64(60000) << "ended 1/00:00" << none
        << none;
    QTest::newRow("next period after the end") << QStringList{"0:p1t00:01", "1000:p1t00:00", "9000:p2t10:00"}
                                               << qint64(60000) << "stopped 2/10:00" << none << none;
    QTest::newRow("counting up without the set: its end is a silence")
        << QStringList{"0:p1t00:01", "1000:p1t00:02", "2000:p1t00:03"} << qint64(6000) << "lost 1/00:03" << none
        << none;
    QTest::newRow("counting up to the length in the set: ended")
        << QStringList{"0:p1t00:01", "1000:p1t00:02", "2000:p1t00:03"} << qint64(6000) << "ended 1/00:03 Final"
        << "set=Final:3,Extra:600" << none;
    QTest::newRow("counting up in an Ask me period: no end known")
        << QStringList{"0:p2t00:01", "1000:p2t00:02", "2000:p2t00:03"} << qint64(6000) << "lost 2/00:03 Extra"
        << "set=Final:3,Extra:" << none;
    QTest::newRow("a period beyond the set") << QStringList{"0:p3t10:00"} << qint64(10) << "stopped 3/10:00"
                                             << "set=Final:3" << none;
    // Each broadcast heard twice, milliseconds apart: still a lost link.
    QTest::newRow("copies do not hide a loss")
        << QStringList{"0:p1t10:00", "2:p1t10:00", "1000:p1t09:59", "1001:p1t09:59", "2000:p1t09:58",
                       "2003:p1t09:58"}
        << qint64(5100) << "lost 1/09:58" << none << none;
    QTest::newRow("copies while counting")
        << QStringList{"0:p1t10:00", "3:p1t10:00", "1000:p1t09:59", "1002:p1t09:59"} << qint64(1500)
        << "running 1/09:59" << none << none;
    QTest::newRow("another clock is named, not shown")
        << QStringList{"0:p1t10:00", "500:p1t05:00@127.0.0.3", "1000:p1t09:59"} << qint64(1100)
        << "running 1/09:59" << none << "127.0.0.2 127.0.0.3";
    QTest::newRow("--from: only that clock") << QStringList{"0:p1t10:00", "500:p2t05:00@127.0.0.3"} << qint64(600)
                                             << "stopped 2/05:00" << "from=127.0.0.3" << "127.0.0.3 127.0.0.2";
    QTest::newRow("--from: waits for it") << QStringList{"0:p1t10:00"} << qint64(100) << "waiting 0/"
                                          << "from=127.0.0.3" << " 127.0.0.2";
    QTest::newRow("the clock followed gone ten seconds: the next one speaking")
        << QStringList{"0:p1t10:00", "10000:p2t05:00@127.0.0.3"} << qint64(10100) << "stopped 2/05:00" << none
        << "127.0.0.3";
    QTest::newRow("not before") << QStringList{"0:p1t10:00", "9900:p2t05:00@127.0.0.3"} << qint64(10100)
                                << "stopped 1/10:00" << none << "127.0.0.2 127.0.0.3";
    QTest::newRow("--from: never another") << QStringList{"0:p1t10:00", "60000:p2t05:00@127.0.0.3"}
                                           << qint64(60100) << "stopped 1/10:00" << "from=127.0.0.2"
                                           << "127.0.0.2 127.0.0.3";
}

void ClockFeedTest::state()
{
    QFETCH(QStringList, arrivals);
    QFETCH(qint64, askedAt);
    QFETCH(QString, shown);
    QFETCH(QString, settings);
    QFETCH(QString, clocks);
    FeedSettings feedSettings;
    if (settings.startsWith("from="))
        feedSettings.from = settings.mid(5);
    for (const QString &period : settings.startsWith("set=") ? settings.mid(4).split(',') : QStringList()) {
        const QString seconds = period.section(u':', 1);
        feedSettings.set.periods.append({period.section(u':', 0, 0),
                                         seconds.isEmpty() ? std::nullopt : std::optional<qint32>(seconds.toInt())});
    }
    ClockFeed feed(feedSettings);
    for (const QString &arrival : arrivals) {
        const QString payload = arrival.section(u':', 1).section(u'@', 0, 0);
        const QString sender = arrival.contains(u'@') ? arrival.section(u'@', 1) : "127.0.0.2";
        feed.receive(payload.toLatin1(), sender, arrival.section(u':', 0, 0).toLongLong());
    }
    const FeedState state = feed.state(askedAt);
    QCOMPARE(QString("%1 %2/%3 %4").arg(statusName(state.status)).arg(state.period).arg(state.time, state.legend).trimmed(),
             shown);
    QCOMPARE(state.counting(), state.status == FeedState::Status::Running);
    if (!clocks.isEmpty())
        QCOMPARE((QStringList{state.sender} + state.otherClocks).join(' '), clocks);
}

QTEST_GUILESS_MAIN(ClockFeedTest)
#include "clock_feed_test.moc"
