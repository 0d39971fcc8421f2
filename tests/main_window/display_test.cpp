#include "main_window_fixture.h"

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

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
