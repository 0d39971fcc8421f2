#include "main_window_fixture.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

namespace {
constexpr qint64 Ms = 1'000'000;
}

class RunControlTest : public QObject {
    Q_OBJECT
private slots:
    void startUp_isStoppedWithButtonsDisabled();
    void startThenPause_coloursAndOnePauseDatagram();
    void pause_broadcastingOff_sendsNothing();
    void pauseTwice_sendsPauseAgain();
    void pause_keepsRunningSecondForNextStart();
    void reset_discardsRunningSecond();
    void startWhileRunning_keepsTheSecond();
    void startAtEnd_endsAgainAtNextTick();
    void reset_data();
    void reset();
    void resetCancelled_clockKeepsRunning();
    void resetOnFirstPeriod_previousDoesNothing();
    void resetOnAskedPeriod_bringsAnswerBackWithoutAsking();
    void settingsButton_neverEnabledAgain();
};

void RunControlTest::startUp_isStoppedWithButtonsDisabled()
{
    MainWindowFixture f;
    f.loaded();
    QCOMPARE(f.digits(), QString("10:00"));
    QCOMPARE(f.digitColour(), Red);
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(ClockRunning, False);
    QVERIFY(!f.enabled("cmdSETTING"));
    QVERIFY(!f.enabled("cmdPREVPERIOD"));
    QVERIFY(!f.enabled("cmdNEXTPERIOD"));
}

void RunControlTest::startThenPause_coloursAndOnePauseDatagram()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    QCOMPARE(f.digitColour(), Black);
    QVERIFY(f.window->Timer1().isEnabled());
    QCOMPARE(ClockRunning, True);
    f.runFor(1);
    f.window->cmdPAUSE_Click();
    QCOMPARE(f.digitColour(), Red);
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(ClockRunning, False);
    QCOMPARE(f.sender.payloads(), QStringList({"p1t09:59", "pause"}));
    QVERIFY(!f.enabled("cmdPREVPERIOD")); // pause changes no button
}

void RunControlTest::pause_broadcastingOff_sendsNothing()
{
    MainWindowFixture f({{"Half", 20, 0}}, CountdownTimer, "0.0.0.255");
    f.loaded();
    f.window->cmdSTART_Click();
    f.window->cmdPAUSE_Click();
    QVERIFY(f.sender.sent.isEmpty());
    QCOMPARE(f.digitColour(), Red);
}

void RunControlTest::pauseTwice_sendsPauseAgain()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdPAUSE_Click();
    f.window->cmdPAUSE_Click();
    QCOMPARE(f.sender.payloads(), QStringList({"pause", "pause"}));
    QCOMPARE(ClockSeconds, 600);
}

void RunControlTest::pause_keepsRunningSecondForNextStart()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.clock.advanceMs(400);
    f.window->cmdPAUSE_Click();
    f.clock.advanceMs(5000);
    f.window->cmdSTART_Click();
    QCOMPARE(f.window->Timer1().nextDueNs(), f.clock.now + 600 * Ms);
    f.runFor(0.6);
    QCOMPARE(ClockSeconds, 599);
}

void RunControlTest::reset_discardsRunningSecond()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.clock.advanceMs(400);
    f.window->cmdPAUSE_Click();
    f.window->mnRESETYES_Click();
    f.window->cmdSTART_Click();
    QCOMPARE(f.window->Timer1().nextDueNs(), f.clock.now + 1000 * Ms);
}

void RunControlTest::startWhileRunning_keepsTheSecond()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.clock.advanceMs(700);
    f.window->cmdSTART_Click();
    QCOMPARE(f.window->Timer1().nextDueNs(), f.clock.now + 300 * Ms);
}

void RunControlTest::startAtEnd_endsAgainAtNextTick()
{
    MainWindowFixture f;
    f.loaded();
    f.endPeriod();
    QVERIFY(f.endShown());
    f.sender.sent.clear();
    f.window->cmdSTART_Click();
    QVERIFY(!f.endShown());
    QVERIFY(!f.enabled("cmdPREVPERIOD"));
    f.runFor(1);
    QVERIFY(f.endShown());
    QCOMPARE(ClockSeconds, 0);
    QVERIFY(f.enabled("cmdPREVPERIOD"));
    QVERIFY(f.enabled("cmdNEXTPERIOD"));
    QCOMPARE(f.sender.payloads(), QStringList({"p1t00:00"}));
}

void RunControlTest::reset_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<QString>("shown");
    QTest::newRow("countdown") << CountdownTimer << "10:00";
    QTest::newRow("clock timer") << ClockTimer << "00:00";
}

void RunControlTest::reset()
{
    QFETCH(qint32, mode);
    QFETCH(QString, shown);
    MainWindowFixture f({{"1st Quarter", 10, 0}, {"2nd Quarter", 10, 0}}, mode);
    f.loaded();
    f.window->cmdSTART_Click();
    f.runFor(5);
    f.sender.sent.clear();
    f.window->mnRESETYES_Click();
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(f.digits(), shown);
    QCOMPARE(f.digitColour(), Red);
    QCOMPARE(f.sender.payloads(), QStringList({"p1t" + shown}));
    QVERIFY(f.enabled("cmdPREVPERIOD"));
    QVERIFY(f.enabled("cmdNEXTPERIOD"));
    QVERIFY(!f.enabled("cmdSETTING"));
}

void RunControlTest::resetCancelled_clockKeepsRunning()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.window->cmdRESET_Click(); // opens the pop-up
    f.control<QAction>("mnRESETNO")->trigger();
    QVERIFY(f.window->Timer1().isEnabled());
    f.runFor(1);
    QCOMPARE(ClockSeconds, 599);
}

void RunControlTest::resetOnFirstPeriod_previousDoesNothing()
{
    MainWindowFixture f;
    f.loaded();
    f.window->mnRESETYES_Click();
    QVERIFY(f.enabled("cmdPREVPERIOD"));
    f.sender.sent.clear();
    f.window->cmdPREVPERIOD_Click();
    QCOMPARE(CurrentPeriod, qint16(1));
    QVERIFY(f.sender.sent.isEmpty());
}

void RunControlTest::resetOnAskedPeriod_bringsAnswerBackWithoutAsking()
{
    MainWindowFixture f({{"1st Half", 20, 0}, {"Overtime", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "5" << "0";
    f.window->cmdNEXTPERIOD_Click();
    f.window->cmdSTART_Click();
    f.runFor(3);
    f.window->mnRESETYES_Click();
    QCOMPARE(f.digits(), QString("05:00"));
    QCOMPARE(f.dialogs.prompts.size(), 2);
}

void RunControlTest::settingsButton_neverEnabledAgain()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.window->cmdPAUSE_Click();
    f.window->mnRESETYES_Click();
    f.window->cmdNEXTPERIOD_Click();
    f.window->cmdPREVPERIOD_Click();
    f.window->cmd1UP_Click();
    QVERIFY(!f.enabled("cmdSETTING"));
}

QTEST_MAIN(RunControlTest)
#include "run_control_test.moc"
