#include "feed/datagram_listener.h"
#include "display/display_window.h"
#include "support/manual_clock.h"

#include "platform/looks.h"

#include <QLabel>
#include <QUdpSocket>
#include <QtTest>

using namespace periodix::display;

class DisplayWindowTest : public QObject {
    Q_OBJECT
private slots:
    void beforeFirstDatagram_waitsOnItsPort();
    void clockDatagram_showsPeriodAndTime();
    void pause_showsPausedUntilNextClockDatagram();
    void malformed_isIgnoredAndCounted_data();
    void malformed_isIgnoredAndCounted();
    void linkIndicator_timeAndSender();
    void lostLink_onlyAfterCountingGoesSilent_data();
    void lostLink_onlyAfterCountingGoesSilent();
    void lostLink_clearsWhenDatagramsReturn();
    void horns_data();
    void horns();
    void texts_fitEverySize_data();
    void texts_fitEverySize();
    void digits_scaleWithTheWindow();
    void loopback_datagramsReachTheWindow();
    void keys_fullScreenAndQuit();
};

void DisplayWindowTest::beforeFirstDatagram_waitsOnItsPort()
{
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    QCOMPARE(w.stateText(), QString("Waiting for the clock on port 7699"));
    QVERIFY(w.timeText().isEmpty());
    QCOMPARE(w.windowTitle(), QString("Periodix display: Waiting for the clock on port 7699"));
    w.setFeedPort(7700);
    w.refresh();
    QCOMPARE(w.linkText(), QString("its hall feed on port 7700"));
}

void DisplayWindowTest::clockDatagram_showsPeriodAndTime()
{
    ManualClock clock;
    periodix::feed::FeedSettings settings;
    settings.set.periods = {{"Final", 2}};
    DisplayWindow w(7699, settings, clock);
    w.receive("p3t05:07", "127.0.0.1");
    QCOMPARE(w.periodText(), QString("Period 3")); // beyond the set
    QCOMPARE(w.timeText(), QString("05:07"));
    QCOMPARE(w.stateText(), QString("Stopped"));
    w.receive("p3t-02:59", "127.0.0.1");
    QCOMPARE(w.timeText(), QString("-02:59"));
    QCOMPARE(w.windowTitle(), QString("Periodix display: Period 3 -02:59 Stopped"));
    // The legend from the set, and the end of a count-up period.
    w.receive("p1t00:00", "127.0.0.1");
    for (const char *time : {"p1t00:01", "p1t00:02"}) {
        clock.advanceMs(1000);
        w.receive(time, "127.0.0.1");
    }
    clock.advanceMs(60000);
    w.refresh();
    QCOMPARE(w.windowTitle(), QString("Periodix display: Final 00:02 E N D"));
    QVERIFY(!w.linkLost());
}

void DisplayWindowTest::pause_showsPausedUntilNextClockDatagram()
{
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    w.receive("p1t09:58", "127.0.0.1");
    w.receive("pause", "127.0.0.1");
    QCOMPARE(w.stateText(), QString("Paused"));
    QCOMPARE(w.timeText(), QString("09:58"));
    QCOMPARE(w.windowTitle(), QString("Periodix display: Period 1 09:58 Paused"));
    clock.advanceMs(1000);
    w.receive("p1t09:57", "127.0.0.1"); // started again
    QVERIFY(w.stateText().isEmpty());
}

void DisplayWindowTest::malformed_isIgnoredAndCounted_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wrong shape") << QByteArray("p1t1:0");
    QTest::newRow("over-long") << QByteArray(300, 'p');
    QTest::newRow("non-ASCII") << QByteArray("p1t\xff\xfe:00");
    QTest::newRow("empty") << QByteArray();
}

void DisplayWindowTest::malformed_isIgnoredAndCounted()
{
    QFETCH(QByteArray, bytes);
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    w.receive("p2t10:00", "127.0.0.1");
    w.receive(bytes, "127.0.0.9");
    w.receive(bytes, "127.0.0.9");
    QCOMPARE(w.ignoredCount(), 2);
    QCOMPARE(w.timeText(), QString("10:00")); // never shown
    QCOMPARE(w.periodText(), QString("Period 2"));
    QVERIFY(w.linkText().contains("127.0.0.1"));
    QVERIFY(w.linkText().contains("ignored 2"));
}

void DisplayWindowTest::linkIndicator_timeAndSender()
{
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    w.receive("p1t10:00", "127.0.0.7");
    clock.advanceMs(1500);
    w.refresh();
    QCOMPARE(w.linkText(), QString("1.5 s ago from 127.0.0.7 (clock datagrams)"));
    w.receive("p1t05:00", "127.0.0.8:40000");
    QCOMPARE(w.linkText(), QString("1.5 s ago from 127.0.0.7 (clock datagrams)   other clocks (choose with --from): 127.0.0.8:40000"));
    w.receiveFeed(R"({"v":1,"seq":3,"game":"g","state":"paused","period":2,"periods":2,"legend":"2nd Half",)"
                  R"("timer":"countdown","length":600,"clock":299.5,"time":"05:00"})",
                  "127.0.0.7");
    QCOMPARE(w.linkText().section("   ", 0, 0), QString("0.0 s ago from 127.0.0.7 (hall feed)"));
    QCOMPARE(w.periodText() + ' ' + w.stateText(), QString("2nd Half Paused"));
}

void DisplayWindowTest::lostLink_onlyAfterCountingGoesSilent_data()
{
    QTest::addColumn<QList<int>>("arrivals"); // ms of each datagram; -1 marks "pause"
    QTest::addColumn<int>("silence");           // ms after the last one
    QTest::addColumn<bool>("lost");
    QTest::newRow("counting, 3.5 s silence") << QList<int>{0, 1000, 2000} << 3500 << true;
    QTest::newRow("counting, 2.9 s silence") << QList<int>{0, 1000, 2000} << 2900 << false;
    QTest::newRow("one datagram only (stopped)") << QList<int>{0} << 10000 << false;
    QTest::newRow("corrections far apart") << QList<int>{0, 5000} << 10000 << false;
    QTest::newRow("paused") << QList<int>{0, 1000, -1} << 10000 << false;
}

void DisplayWindowTest::lostLink_onlyAfterCountingGoesSilent()
{
    QFETCH(QList<int>, arrivals);
    QFETCH(int, silence);
    QFETCH(bool, lost);
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    int left = 600;
    for (int at : arrivals) {
        if (at < 0) {
            w.receive("pause", "127.0.0.1");
            continue;
        }
        clock.setMs(at);
        --left;
        const QByteArray time = QByteArray::number(left / 60).rightJustified(2, '0') + ':' +
                                QByteArray::number(left % 60).rightJustified(2, '0');
        w.receive("p1t" + time, "127.0.0.1");
    }
    clock.advanceMs(silence);
    w.refresh();
    QCOMPARE(w.linkLost(), lost);
    QCOMPARE(w.stateText() == "LINK LOST", lost);
    const QColor digits = periodix::textColour(w.findChild<QLabel *>("time"));
    // The README's colours: amber counting, red not, grey when lost.
    QCOMPARE(digits, QColor(lost ? "#6e6e6e" : w.stateText().isEmpty() ? "#ffc400" : "#ff3030"));
}

void DisplayWindowTest::lostLink_clearsWhenDatagramsReturn()
{
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    w.receive("p1t10:00", "127.0.0.1");
    clock.advanceMs(1000);
    w.receive("p1t09:59", "127.0.0.1");
    clock.advanceMs(1000);
    w.receive("p1t09:58", "127.0.0.1");
    clock.advanceMs(5000);
    w.refresh();
    QVERIFY(w.linkLost());
    QVERIFY(w.windowTitle().endsWith("(link lost)"));
    w.receive("p1t09:53", "127.0.0.1");
    QVERIFY(!w.linkLost());
    clock.advanceMs(1000);
    w.receive("p1t09:52", "127.0.0.1");
    QVERIFY(w.stateText().isEmpty());
    QCOMPARE(periodix::textColour(w.findChild<QLabel *>("time")), DisplayWindow::Counting);
}

void DisplayWindowTest::horns_data()
{
    QTest::addColumn<QString>("arrivals"); // "ms:payload ...", then how long the silence after lasts
    QTest::addColumn<int>("horns");
    // (Which datagrams end a period is the feed table's; here, when the display sounds.)
    QTest::newRow("from a pause into the end, then silence") << "0:p1t00:02 1000:p1t00:01 1300:pause 8000:p1t00:00 +60000"
                                                             << 1;
    QTest::newRow("a reset") << "0:p1t00:02 1000:p1t00:01 1200:p1t10:00 +60000" << 0;
    QTest::newRow("started on an ended period") << "0:p1t00:00 5000:p1t00:00 +60000" << 0;
    QTest::newRow("two periods") << "0:p1t00:01 1000:p1t00:00 5000:p2t00:01 6000:p2t00:00 +1000" << 2;
}

void DisplayWindowTest::horns()
{
    QFETCH(QString, arrivals);
    QFETCH(int, horns);
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    for (const QString &arrival : arrivals.split(u' ')) {
        if (arrival.startsWith(u'+')) {
            clock.advanceMs(arrival.mid(1).toInt());
            w.refresh();
            continue;
        }
        clock.setMs(arrival.section(u':', 0, 0).toInt());
        w.refresh();
        w.receive(arrival.section(u':', 1).toLatin1(), "127.0.0.1:40000");
    }
    QCOMPARE(w.hornsBlown(), horns);
}

void DisplayWindowTest::texts_fitEverySize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1920x1080") << QSize(1920, 1080);
    QTest::newRow("800x600") << QSize(800, 600);
    QTest::newRow("600x1000") << QSize(600, 1000);
}

void DisplayWindowTest::texts_fitEverySize()
{
    // The longest lines: the waiting line for a clock named by --from, a
    // 15-character legend, a lost link, and a full bottom line.
    QFETCH(QSize, size);
    ManualClock clock;
    periodix::feed::FeedSettings settings;
    settings.from = {"198.51.100.200", 65535};
    settings.set.periods = {{"Overtime Period", 600}};
    DisplayWindow w(7699, settings, clock);
    w.resize(size);
    w.show();
    const auto fits = [&w](const char *name) {
        const auto *label = w.findChild<QLabel *>(name);
        const QFontMetrics metrics(label->font());
        for (const QString &line : label->text().split(u'\n')) {
            if (metrics.horizontalAdvance(line) > label->contentsRect().width())
                return false;
        }
        return w.rect().contains(label->geometry());
    };
    QTRY_VERIFY(fits("state"));
    for (int i = 0; i < 8; ++i)
        w.receive("p1t10:00", QString("198.51.100.%1:6553%2").arg(201 + i).arg(i)); // other clocks
    w.receive("garbage", "198.51.100.250:9");
    for (int i = 0; i < 3; ++i) {
        clock.setMs(i * 1000);
        w.receive(QString("p1t09:5%1").arg(9 - i).toLatin1(), settings.from.name());
    }
    clock.advanceMs(5000);
    w.refresh();
    QCOMPARE(w.stateText(), QString("LINK LOST"));
    QCOMPARE(w.periodText(), QString("Overtime Period"));
    for (const char *name : {"period", "state", "link"})
        QVERIFY2(fits(name), name);
    QVERIFY(w.linkText().contains("198.51.100.200:65535"));
    // Other clocks named whole or not at all.
    QCOMPARE(w.linkText().count(".100."), w.linkText().count("198.51.100."));
}

void DisplayWindowTest::digits_scaleWithTheWindow()
{
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    w.receive("p1t10:00", "127.0.0.1");
    auto *digits = w.findChild<QLabel *>("time");
    w.resize(320, 180);
    w.show();
    const int small = digits->font().pixelSize();
    w.resize(720, 405);
    QTRY_VERIFY(digits->font().pixelSize() > small * 2);
    QVERIFY(QFontMetrics(digits->font()).horizontalAdvance("10:00") <= w.width());
    // The state's line ("Stopped") stays inside the window.
    QTRY_VERIFY(w.rect().contains(w.findChild<QLabel *>("state")->geometry()));
}

void DisplayWindowTest::loopback_datagramsReachTheWindow()
{
    periodix::feed::DatagramListener listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    ManualClock clock;
    DisplayWindow w(listener.port(), {}, clock);
    connect(&listener, &periodix::feed::DatagramListener::received, &w, &DisplayWindow::receive);
    QUdpSocket sender;
    sender.writeDatagram("p4t00:10", QHostAddress::LocalHost, listener.port());
    QTRY_COMPARE(w.timeText(), QString("00:10"));
    QCOMPARE(w.periodText(), QString("Period 4"));
    sender.writeDatagram("pause", QHostAddress::LocalHost, listener.port());
    QTRY_COMPARE(w.stateText(), QString("Paused"));
    sender.writeDatagram("garbage", QHostAddress::LocalHost, listener.port());
    QTRY_COMPARE(w.ignoredCount(), 1);
    QVERIFY(w.linkText().contains("127.0.0.1"));
    // The hall feed, on a port of its own.
    QVERIFY(listener.listenFeed(QHostAddress::LocalHost, 0));
    connect(&listener, &periodix::feed::DatagramListener::feedReceived, &w, &DisplayWindow::receiveFeed);
    sender.writeDatagram(R"({"v":1,"seq":1,"game":"g","state":"paused","period":4,"periods":4,"legend":"Final",)"
                         R"("timer":"countdown","length":600,"clock":9.5,"time":"00:10"})",
                         QHostAddress::LocalHost, listener.feedPort());
    QTRY_COMPARE(w.periodText(), QString("Final"));
}

void DisplayWindowTest::keys_fullScreenAndQuit()
{
    ManualClock clock;
    DisplayWindow w(7699, {}, clock);
    w.show();
    QTest::keyClick(&w, Qt::Key_F11);
    QVERIFY(w.windowState() & Qt::WindowFullScreen);
    QTest::keyClick(&w, Qt::Key_F11);
    QVERIFY(!(w.windowState() & Qt::WindowFullScreen));
    QTest::keyClick(&w, Qt::Key_F11);
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!(w.windowState() & Qt::WindowFullScreen));
    QVERIFY(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Q);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(DisplayWindowTest)
#include "display_window_test.moc"
