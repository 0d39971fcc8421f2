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
    // "ms:payload" arrivals, then the moment asked about.
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<qint64>("askedAt");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("shown"); // period/time, counting
    QTest::newRow("nothing yet") << QStringList{} << qint64(5000) << "waiting" << "0/ no";
    QTest::newRow("only garbage") << QStringList{"0:hello", "10:p01t10:00"} << qint64(20) << "waiting" << "0/ no";
    QTest::newRow("first clock datagram") << QStringList{"0:p1t10:00"} << qint64(100) << "running" << "1/10:00 no";
    QTest::newRow("counting") << QStringList{"0:p1t10:00", "1000:p1t09:59", "2000:p1t09:58"} << qint64(2500)
                              << "running" << "1/09:58 yes";
    QTest::newRow("paused keeps the time") << QStringList{"0:p2t05:00", "1000:p2t04:59", "1400:pause"}
                                           << qint64(9000) << "paused" << "2/04:59 no";
    QTest::newRow("silent after counting: lost")
        << QStringList{"0:p1t10:00", "1000:p1t09:59"} << qint64(4001) << "lost" << "1/09:59 no";
    QTest::newRow("three seconds is not yet lost")
        << QStringList{"0:p1t10:00", "1000:p1t09:59"} << qint64(4000) << "running" << "1/09:59 no";
    QTest::newRow("stopped clock: silence is normal")
        << QStringList{"0:p1t10:00", "9000:p1t09:59"} << qint64(60000) << "running" << "1/09:59 no";
    QTest::newRow("back after a loss") << QStringList{"0:p1t10:00", "1000:p1t09:59", "9000:p1t09:51"}
                                       << qint64(9100) << "running" << "1/09:51 no";
    // Each broadcast heard twice, milliseconds apart: still a lost link.
    QTest::newRow("copies do not hide a loss")
        << QStringList{"0:p1t10:00", "2:p1t10:00", "1000:p1t09:59", "1001:p1t09:59"} << qint64(4100) << "lost"
        << "1/09:59 no";
    QTest::newRow("copies while counting") << QStringList{"0:p1t10:00", "3:p1t10:00", "1000:p1t09:59", "1002:p1t09:59"}
                                           << qint64(1500) << "running" << "1/09:59 yes";
}

void ClockFeedTest::state()
{
    QFETCH(QStringList, arrivals);
    QFETCH(qint64, askedAt);
    QFETCH(QString, status);
    QFETCH(QString, shown);
    ClockFeed feed;
    for (const QString &arrival : arrivals)
        feed.receive(arrival.section(u':', 1).toLatin1(), "127.0.0.2", arrival.section(u':', 0, 0).toLongLong());
    const FeedState state = feed.state(askedAt);
    QCOMPARE(statusName(state.status), status);
    QCOMPARE(QString("%1/%2 %3").arg(state.period).arg(state.time, state.counting ? "yes" : "no"), shown);
}

QTEST_GUILESS_MAIN(ClockFeedTest)
#include "clock_feed_test.moc"
