#include "main_window_fixture.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class TickTest : public QObject {
    Q_OBJECT
private slots:
    void tick_movesClockAndEndsPeriod_data();
    void tick_movesClockAndEndsPeriod();
    void tick_oneDatagramPerRefresh();
    void timerModeZero_leavesClockButClamps();
    void overflowingMissedCount_reportedAtLine153();
    void endOfPeriod_keepsClockRunningTrue();
    void reportOpen_holdsTicksBack();
};

void TickTest::tick_movesClockAndEndsPeriod_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<int>("periodMinutes");
    QTest::addColumn<qint32>("clockBefore");
    QTest::addColumn<int>("missed");
    QTest::addColumn<qint32>("clockAfter");
    QTest::addColumn<bool>("ended");
    QTest::newRow("countdown 1, count 0") << CountdownTimer << 10 << 1 << 0 << 0 << true;
    QTest::newRow("countdown 1, count 2") << CountdownTimer << 10 << 1 << 2 << 0 << true;
    QTest::newRow("countdown 300, count 0") << CountdownTimer << 10 << 300 << 0 << 299 << false;
    QTest::newRow("countdown 300, count 4") << CountdownTimer << 10 << 300 << 4 << 295 << false;
    QTest::newRow("clock 599, count 0") << ClockTimer << 10 << 599 << 0 << 600 << true;
    QTest::newRow("clock 599, count 4") << ClockTimer << 10 << 599 << 4 << 600 << true;
    QTest::newRow("clock 10, count 0") << ClockTimer << 10 << 10 << 0 << 11 << false;
    QTest::newRow("clock, zero-length period") << ClockTimer << 0 << 0 << 0 << 0 << true;
}

void TickTest::tick_movesClockAndEndsPeriod()
{
    QFETCH(qint32, mode);
    QFETCH(int, periodMinutes);
    QFETCH(qint32, clockBefore);
    QFETCH(int, missed);
    QFETCH(qint32, clockAfter);
    QFETCH(bool, ended);
    MainWindowFixture f({{"1st Quarter", periodMinutes, 0}, {"2nd Quarter", 10, 0}}, mode);
    f.loaded();
    ClockSeconds = clockBefore;
    f.window->cmdSTART_Click();
    f.runFor(missed + 1);
    QCOMPARE(ClockSeconds, clockAfter);
    QCOMPARE(f.digits(), SEC2TIME(clockAfter));
    QCOMPARE(f.endShown(), ended);
    QCOMPARE(f.window->Timer1().isEnabled(), !ended);
    QCOMPARE(f.enabled("cmdPREVPERIOD"), ended);
    QCOMPARE(f.enabled("cmdNEXTPERIOD"), ended);
    QCOMPARE(f.digitColour(), Black); // the end keeps the digits as they were
    QVERIFY(f.reports.reports.isEmpty());
}

void TickTest::tick_oneDatagramPerRefresh()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.runFor(1);
    f.runFor(1);
    f.runFor(3); // late: two intervals missed, one refresh
    QCOMPARE(f.sender.payloads(), QStringList({"p1t09:59", "p1t09:58", "p1t09:55"}));
    QCOMPARE(f.sender.sent[0].host, QString("127.0.0.255"));
    QCOMPARE(f.sender.sent[0].port, quint16(7699));
}

void TickTest::timerModeZero_leavesClockButClamps()
{
    MainWindowFixture f;
    f.window->Timer1().setEnabled(true);
    ClockSeconds = -5;
    f.runFor(1);
    QCOMPARE(ClockSeconds, 0); // not moved, but clamped
    ClockSeconds = 7;
    PeriodSeconds = 100;
    f.runFor(1);
    QCOMPARE(ClockSeconds, 7);
    // No period table yet: the refresh stops silently and sends nothing.
    QCOMPARE(f.digits(), QString("99:99"));
    QVERIFY(f.sender.sent.isEmpty());
    QVERIFY(f.reports.reports.isEmpty());
}

void TickTest::overflowingMissedCount_reportedAtLine153()
{
    MainWindowFixture f({{"Long", 500, 0}});
    f.loaded();
    f.window->cmdSTART_Click();
    f.runFor(32768); // 32767 missed intervals: n leaves 16 bits
    QCOMPARE(f.reports.reports.size(), 1);
    const ErrorReport &r = f.reports.reports[0];
    QCOMPARE(r.number, 6);
    QCOMPARE(r.procedure, QString("Timer1_Timer"));
    QCOMPARE(r.line, 153);
    QCOMPARE(ClockSeconds, 30000); // Ignore: the clock moved by nothing
}

void TickTest::endOfPeriod_keepsClockRunningTrue()
{
    MainWindowFixture f;
    f.loaded();
    f.endPeriod();
    QVERIFY(f.endShown());
    QCOMPARE(ClockRunning, True);
}

void TickTest::reportOpen_holdsTicksBack()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    qint32 seenDuringReport = -1;
    // A report waits for the operator for three seconds; no tick runs meanwhile.
    setReportPresenter([&](const ErrorReport &) {
        f.runFor(3);
        seenDuringReport = ClockSeconds;
        return Choice::Ignore;
    });
    REPORT_ERROR("frmMAIN", "cmdSTART_Click", 6, "Overflow", 106);
    QCOMPARE(seenDuringReport, 600);
    f.window->Timer1().deliverDue(); // the report closed: the held ticks arrive at once
    QCOMPARE(ClockSeconds, 597);
    QCOMPARE(f.sender.payloads(), QStringList({"p1t09:57"}));
}

QTEST_MAIN(TickTest)
#include "tick_test.moc"
