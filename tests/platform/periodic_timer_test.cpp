#include "platform/periodic_timer.h"
#include "support/manual_clock.h"

#include <QSignalSpy>
#include <QtTest>

using namespace periodix;

namespace {
constexpr qint64 Ms = 1'000'000;
}

class PeriodicTimerTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void createdDisabledWithOneSecond();
    void dueTimes_anchoredToEnable();
    void lateEvents_countMissedIntervals_data();
    void lateEvents_countMissedIntervals();
    void earlyEvent_movesNothing();
    void pause_keepsElapsedPartOfSecond();
    void disable_discardsElapsedPart();
    void pauseTwice_keepsFirstPart();
    void enableWhileEnabled_changesNothing();
    void disabledTimer_deliversNothing();
    void disableInsideTick_stopsFurtherTicks();
    void hold_defersTicksAndCountsTimePassed();
    void realTimer_deliversOnItsOwn();

private:
    ManualClock *clock = nullptr;
    PeriodicTimer *timer = nullptr;
    QList<qint64> missed; // missed count of every tick
};

void PeriodicTimerTest::init()
{
    clock = new ManualClock;
    timer = new PeriodicTimer(nullptr, *clock);
    missed.clear();
    connect(timer, &PeriodicTimer::tick, this, [this] { missed << timer->missedIntervals(); });
}

void PeriodicTimerTest::cleanup()
{
    delete timer;
    delete clock;
}

void PeriodicTimerTest::createdDisabledWithOneSecond()
{
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(!timer->isEnabled());
}

void PeriodicTimerTest::dueTimes_anchoredToEnable()
{
    timer->setEnabled(true);
    QCOMPARE(timer->nextDueNs(), clock->start + 1000 * Ms);
    clock->setMs(1000);
    timer->deliverDue();
    clock->setMs(2300); // 300 ms late
    timer->deliverDue();
    QCOMPARE(missed, QList<qint64>({0, 0}));
    // The lateness does not move the phase: the next due time is 3 s, not 3.3 s.
    QCOMPARE(timer->nextDueNs(), clock->start + 3000 * Ms);
}

void PeriodicTimerTest::lateEvents_countMissedIntervals_data()
{
    QTest::addColumn<double>("eventAtMs");
    QTest::addColumn<qint64>("expectedMissed");
    QTest::newRow("on time") << 2000.0 << qint64(0);
    QTest::newRow("just before the next") << 2999.0 << qint64(0);
    QTest::newRow("one missed") << 3000.0 << qint64(1);
    QTest::newRow("two missed") << 4500.0 << qint64(2);
    QTest::newRow("four missed") << 6000.0 << qint64(4);
}

void PeriodicTimerTest::lateEvents_countMissedIntervals()
{
    QFETCH(double, eventAtMs);
    QFETCH(qint64, expectedMissed);
    timer->setEnabled(true);
    clock->setMs(1000);
    timer->deliverDue();
    clock->setMs(eventAtMs);
    timer->deliverDue();
    QCOMPARE(missed, QList<qint64>({0, expectedMissed}));
}

void PeriodicTimerTest::earlyEvent_movesNothing()
{
    timer->setEnabled(true);
    clock->setMs(999.9);
    timer->deliverDue();
    QVERIFY(missed.isEmpty());
    QCOMPARE(timer->nextDueNs(), clock->start + 1000 * Ms);
}

void PeriodicTimerTest::pause_keepsElapsedPartOfSecond()
{
    timer->setEnabled(true);
    clock->setMs(1000);
    timer->deliverDue();
    clock->setMs(1400);
    timer->pause();
    QVERIFY(!timer->isEnabled());
    clock->setMs(10000);
    timer->setEnabled(true);
    // 400 ms of the interrupted second had run: 600 ms remain.
    QCOMPARE(timer->nextDueNs(), clock->start + 10600 * Ms);
    clock->setMs(10600);
    timer->deliverDue();
    QCOMPARE(missed, QList<qint64>({0, 0}));
}

void PeriodicTimerTest::disable_discardsElapsedPart()
{
    timer->setEnabled(true);
    clock->setMs(1400);
    timer->pause();
    timer->setEnabled(false); // a reset after the pause
    clock->setMs(10000);
    timer->setEnabled(true);
    QCOMPARE(timer->nextDueNs(), clock->start + 11000 * Ms);
}

void PeriodicTimerTest::pauseTwice_keepsFirstPart()
{
    timer->setEnabled(true);
    clock->setMs(300);
    timer->pause();
    clock->setMs(5000);
    timer->pause();
    timer->setEnabled(true);
    QCOMPARE(timer->nextDueNs(), clock->start + 5700 * Ms);
}

void PeriodicTimerTest::enableWhileEnabled_changesNothing()
{
    timer->setEnabled(true);
    clock->setMs(500);
    timer->setEnabled(true);
    QCOMPARE(timer->nextDueNs(), clock->start + 1000 * Ms);
}

void PeriodicTimerTest::disabledTimer_deliversNothing()
{
    timer->setEnabled(true);
    timer->setEnabled(false);
    clock->setMs(5000);
    timer->deliverDue();
    QVERIFY(missed.isEmpty());
}

void PeriodicTimerTest::disableInsideTick_stopsFurtherTicks()
{
    connect(timer, &PeriodicTimer::tick, timer, [this] { timer->setEnabled(false); });
    timer->setEnabled(true);
    clock->setMs(1000);
    timer->deliverDue();
    clock->setMs(3000);
    timer->deliverDue();
    QCOMPARE(missed.size(), 1);
    QVERIFY(!timer->isEnabled());
}

void PeriodicTimerTest::hold_defersTicksAndCountsTimePassed()
{
    bool held = true;
    timer->setHold([&held] { return held; });
    timer->setEnabled(true);
    clock->setMs(1000);
    timer->deliverDue();
    clock->setMs(2000);
    timer->deliverDue();
    QVERIFY(missed.isEmpty());
    held = false;
    clock->setMs(3200);
    timer->deliverDue();
    QCOMPARE(missed, QList<qint64>({2}));
}

void PeriodicTimerTest::realTimer_deliversOnItsOwn()
{
    PeriodicTimer real;
    real.setInterval(5);
    QSignalSpy ticks(&real, &PeriodicTimer::tick);
    real.setEnabled(true);
    QTRY_VERIFY(ticks.count() >= 2);
    real.setEnabled(false);
}

QTEST_GUILESS_MAIN(PeriodicTimerTest)
#include "periodic_timer_test.moc"
