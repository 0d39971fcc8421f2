#include "main_window_fixture.h"

#include "protocol/hall_feed.h"
#include "main_window/hall_feed_sender.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QWindow>
#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class DisplayTest : public QObject {
    Q_OBJECT
private slots:
    void showTime_displayCaptionAndDatagram_data();
    void showTime_displayCaptionAndDatagram();
    void showTime_failingSend_keepsDisplayAndStaysSilent();
    void hallFeed_data();
    void hallFeed();
    void hallFeed_bytes();
    void hallFeed_portOption_data();
    void hallFeed_portOption();
};

void DisplayTest::showTime_displayCaptionAndDatagram_data()
{
    QTest::addColumn<QString>("legend");
    QTest::addColumn<int>("period");
    QTest::addColumn<qint32>("clock");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("datagram"); // empty: none sent
    QTest::newRow("broadcasting") << "1st Quarter" << 1 << 600 << "127.0.0.255" << "1st Quarter/10:00" << "p1t10:00";
    QTest::newRow("broadcasting off") << "1st Quarter" << 1 << 600 << "0.0.0.255" << "1st Quarter/10:00" << "";
    QTest::newRow("period 10") << "Tenth" << 10 << 307 << "127.0.0.255" << "Tenth/05:07" << "p10t05:07";
    QTest::newRow("empty legend") << "" << 1 << 0 << "127.0.0.255" << "/00:00" << "p1t00:00";
    QTest::newRow("negative clock") << "Overtime" << 1 << -61 << "127.0.0.255" << "Overtime/-02:59" << "p1t-02:59";
    QTest::newRow("markup and title placeholder")
        << "<b>OT</b> [*]" << 1 << 5 << "127.0.0.255" << "<b>OT</b> [*]/00:05" << "p1t00:05";
    QTest::newRow("address never confirmed") << "A" << 1 << 5 << "" << "A/00:05" << "p1t00:05";
}

void DisplayTest::showTime_displayCaptionAndDatagram()
{
    QFETCH(QString, legend);
    QFETCH(int, period);
    QFETCH(qint32, clock);
    QFETCH(QString, address);
    QFETCH(QString, caption);
    QFETCH(QString, datagram);
    MainWindowFixture f;
    f.loaded();
    PeriodTable.redim(period);
    PeriodTable(period).Legend = legend;
    PeriodCount = qint16(period);
    CurrentPeriod = qint16(period);
    ClockSeconds = clock;
    BroadcastAddress = address;
    f.window->SHOW_TIME();
    QCOMPARE(f.control<QLabel>("lblPERIOD")->text(), legend);
    QCOMPARE(f.control<QLabel>("lblPERIOD")->textFormat(), Qt::PlainText);
    QCOMPARE(f.digits(), caption.section('/', -1));
    f.window->winId(); // the caption as the window system gets it
    QCOMPARE(f.window->windowHandle()->title(), caption);
    QCOMPARE(f.sender.payloads(), datagram.isEmpty() ? QStringList() : QStringList{datagram});
}

void DisplayTest::showTime_failingSend_keepsDisplayAndStaysSilent()
{
    MainWindowFixture f;
    f.loaded();
    f.sender.failSends = true;
    ClockSeconds = 42;
    f.window->SHOW_TIME();
    QCOMPARE(f.digits(), QString("00:42"));
    QVERIFY(f.reports.reports.isEmpty());
    f.sender.failSends = false;
    f.window->SHOW_TIME(); // the next refresh sends again
    QCOMPARE(f.sender.payloads(), QStringList({"p1t00:42"}));
}

void DisplayTest::hallFeed_data()
{
    QTest::addColumn<QList<TestPeriod>>("periods");
    QTest::addColumn<qint32>("timer");
    QTest::addColumn<QString>("address");
    // S start, P pause, K the S key, -1 a correction, R reset, N next period,
    // tN N seconds on the hand-driven clock (the timers deliver as they fall due)
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("feed"); // the last feed datagram: "state period/periods clock time #seq"
    const QList<TestPeriod> quarters{{"1st Quarter", 10, 0}, {"2nd Quarter", 10, 0}};
    const QList<TestPeriod> shortOne{{"Last", 0, 1}, {"Extra", 5, 0}};
    QTest::newRow("after Ok: stopped") << quarters << CountdownTimer << "127.0.0.255" << ""
                                       << "stopped 1/2 600.0 10:00 #1";
    QTest::newRow("repeated while stopped") << quarters << CountdownTimer << "127.0.0.255" << "t0.25 t0.25"
                                            << "stopped 1/2 600.0 10:00 #6";
    // A change of state is said three times more within 150 ms; a tick is not.
    QTest::newRow("not before a repeat is due") << quarters << CountdownTimer << "127.0.0.255" << "t0.249"
                                                << "stopped 1/2 600.0 10:00 #4";
    QTest::newRow("running: the second's passed part, rounded up; a start said again")
        << quarters << CountdownTimer << "127.0.0.255" << "t0.25 S t0.25" << "running 1/2 599.8 10:00 #10";
    QTest::newRow("the tick at once, then its repeat")
        << quarters << CountdownTimer << "127.0.0.255" << "S t0.25 t0.25 t0.25 t0.25" << "running 1/2 599.0 09:59 #10";
    QTest::newRow("a pause keeps the passed part") << shortOne << CountdownTimer << "127.0.0.255" << "S t0.25 t0.25 P"
                                                   << "paused 1/2 0.5 00:01 #8";
    QTest::newRow("a correction after a pause: stopped, the part gone")
        << quarters << CountdownTimer << "127.0.0.255" << "S t0.25 P -1" << "stopped 1/2 599.0 09:59 #8";
    QTest::newRow("next period: said again") << quarters << CountdownTimer << "127.0.0.255" << "t0.25 N t0.25"
                                             << "stopped 2/2 600.0 10:00 #10";
    QTest::newRow("the end") << shortOne << CountdownTimer << "127.0.0.255" << "S t0.25 t0.25 t0.25 t0.25"
                             << "ended 1/2 0.0 00:00 #10";
    QTest::newRow("E N D, S, S: still ended, never below 00:00")
        << shortOne << CountdownTimer << "127.0.0.255" << "S t1 K K t0.25" << "ended 1/2 0.0 00:00 #16";
    QTest::newRow("S after the end: paused, as the window shows")
        << shortOne << CountdownTimer << "127.0.0.255" << "S t0.25 t0.25 t0.25 t0.25 K" << "paused 1/2 0.0 00:00 #11";
    QTest::newRow("counting up: rounded down") << quarters << ClockTimer << "127.0.0.255" << "S t0.25"
                                               << "running 1/2 0.2 00:00 #6";
    QTest::newRow("counting up, the end, E N D, S, S") << shortOne << ClockTimer << "127.0.0.255"
                                                       << "S t0.25 t0.25 t0.25 t0.25 K K t0.25" << "ended 1/2 1.0 00:01 #16";
    QTest::newRow("broadcasting off: no feed either") << quarters << CountdownTimer << "0.0.0.255" << "S t0.25 P" << "";
}

void DisplayTest::hallFeed()
{
    QFETCH(QList<TestPeriod>, periods);
    QFETCH(qint32, timer);
    QFETCH(QString, address);
    QFETCH(QString, steps);
    QFETCH(QString, feed);
    MainWindowFixture f(periods, timer, address);
    f.window->useHallFeed(7700);
    f.window->Form_Load(); // its datagrams kept
    const auto go = [&](double seconds) { // in steps of a millisecond, each timer when due
        for (int ms = 0; ms < qRound(seconds * 1000); ++ms) {
            f.clock.advanceMs(1);
            f.window->Timer1().deliverDue();
            f.window->hallFeed()->echoes().deliverDue();
            f.window->hallFeed()->repeats().deliverDue();
        }
    };
    for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QMap<QString, std::function<void()>> commands{
            {"S", [&] { f.window->cmdSTART_Click(); }},    {"P", [&] { f.window->cmdPAUSE_Click(); }},
            {"K", [&] { f.window->Form_KeyDown(83, {}); }}, {"-1", [&] { f.window->cmd1DW_Click(); }},
            {"R", [&] { f.window->mnRESETYES_Click(); }},  {"N", [&] { f.window->cmdNEXTPERIOD_Click(); }}};
        if (step.startsWith(u't'))
            go(step.mid(1).toDouble());
        else
            commands.value(step)();
    }
    QStringList feeds; // to the clock datagrams' host, on a port of their own
    for (const auto &d : f.sender.sent) {
        QCOMPARE(d.host, QString("127.0.0.255"));
        if (d.port == 7700)
            feeds << QString::fromUtf8(d.payload);
        else
            QVERIFY(!d.payload.contains('{'));
    }
    QString last;
    if (!feeds.isEmpty()) {
        const QJsonObject o = QJsonDocument::fromJson(feeds.last().toUtf8()).object();
        last = QString("%1 %2/%3 %4 %5 #%6")
                   .arg(o["state"].toString())
                   .arg(o["period"].toInt())
                   .arg(o["periods"].toInt())
                   .arg(o["clock"].toDouble(), 0, 'f', 1)
                   .arg(o["time"].toString())
                   .arg(o["seq"].toInteger());
        QCOMPARE(o["game"].toString(), f.window->game());
    }
    QCOMPARE(last, feed);
}

void DisplayTest::hallFeed_bytes()
{
    // The legend as typed, in UTF-8, escaped as JSON; the fields in their order.
    MainWindowFixture f({{QString::fromUtf8(R"(Über "OT"\)"), 5, 0}}, ClockTimer);
    f.window->useHallFeed(7800);
    f.window->Form_Load();
    QVERIFY(!f.sender.sent.isEmpty());
    QCOMPARE(f.sender.sent.last().port, 7800);
    const QByteArray game = f.window->game().toLatin1();
    QVERIFY(QRegularExpression("^[0-9a-f]{16}$").match(f.window->game()).hasMatch());
    QCOMPARE(f.sender.sent.last().payload,
             R"({"v":1,"seq":1,"game":")" + game + R"(","state":"stopped","period":1,"periods":1,)"
             R"("legend":"Über \"OT\"\\","timer":"countup","length":300,"clock":0.0,"time":"00:00"})");
    // A legend from a file, longer than a companion takes: cut to fit.
    PeriodTable(1).Legend = QString(300, u'x');
    f.window->cmdPAUSE_Click();
    const std::optional<protocol::HallFeed> cut = protocol::parseHallFeed(f.sender.sent.last().payload);
    QVERIFY(cut && cut->clock.legend == QString(255, u'x'));
}

void DisplayTest::hallFeed_portOption_data()
{
    QTest::addColumn<bool>("feedAsked");
    QTest::addColumn<QString>("port"); // "-": none given
    QTest::addColumn<int>("feedPort"); // -1: refused
    QTest::newRow("neither") << false << "-" << 0;
    QTest::newRow("--hall-feed") << true << "-" << 7700;
    QTest::newRow("a port") << false << "7701" << 7701;
    QTest::newRow("both") << true << "65535" << 65535;
    QTest::newRow("the clock datagrams' port") << true << "7699" << -1;
    QTest::newRow("no port") << false << "65536" << -1;
}

void DisplayTest::hallFeed_portOption()
{
    QFETCH(bool, feedAsked);
    QFETCH(QString, port);
    QFETCH(int, feedPort);
    const auto read = hallFeedPortOption(feedAsked, port == "-" ? std::nullopt : std::optional(port));
    QCOMPARE(read ? int(*read) : -1, feedPort);
}

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
