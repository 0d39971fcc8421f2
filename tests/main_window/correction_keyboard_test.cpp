#include "main_window_fixture.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class CorrectionKeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void correction_outcomes_data();
    void correction_outcomes();
    void correction_whileRunning_stopsAndSendsOneClockDatagram();
    void correction_discardsRunningSecond();
    void sKey_togglesWhateverHasFocus_data();
    void sKey_togglesWhateverHasFocus();
    void sKey_inEndedState_pausesThenStarts();
    void otherKey_reachesFocusedControl();
};

void CorrectionKeyboardTest::correction_outcomes_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<qint32>("before");
    QTest::addColumn<QString>("button");
    QTest::addColumn<qint32>("after");
    QTest::addColumn<bool>("periodButtons");
    // P = 600 in every row.
    QTest::newRow("countdown 5, -10") << CountdownTimer << 5 << "cmd10DW" << 0 << true;
    QTest::newRow("countdown 1, -1") << CountdownTimer << 1 << "cmd1DW" << 0 << true;
    QTest::newRow("countdown 300, +10") << CountdownTimer << 300 << "cmd10UP" << 310 << false;
    QTest::newRow("countdown full, +1") << CountdownTimer << 600 << "cmd1UP" << 600 << false;
    QTest::newRow("countdown full, +10") << CountdownTimer << 600 << "cmd10UP" << 600 << false;
    QTest::newRow("clock 0, -1") << ClockTimer << 0 << "cmd1DW" << 0 << false;
    QTest::newRow("clock 100, -10") << ClockTimer << 100 << "cmd10DW" << 90 << false;
    QTest::newRow("clock P-1, +1") << ClockTimer << 599 << "cmd1UP" << 600 << true;
    QTest::newRow("clock 595, +10") << ClockTimer << 595 << "cmd10UP" << 600 << true;
}

void CorrectionKeyboardTest::correction_outcomes()
{
    QFETCH(qint32, mode);
    QFETCH(qint32, before);
    QFETCH(QString, button);
    QFETCH(qint32, after);
    QFETCH(bool, periodButtons);
    MainWindowFixture f({{"1st", 10, 0}, {"2nd", 10, 0}}, mode);
    f.loaded();
    ClockSeconds = before;
    f.control<QPushButton>(qPrintable(button))->click();
    QCOMPARE(ClockSeconds, after);
    QCOMPARE(f.digits(), SEC2TIME(after));
    QCOMPARE(f.digitColour(), Red);
    QVERIFY(!f.endShown());
    QCOMPARE(f.enabled("cmdPREVPERIOD"), periodButtons);
    QCOMPARE(f.enabled("cmdNEXTPERIOD"), periodButtons);
    QCOMPARE(f.sender.payloads(), QStringList({"p1t" + SEC2TIME(after)}));
}

void CorrectionKeyboardTest::correction_whileRunning_stopsAndSendsOneClockDatagram()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.window->cmd1DW_Click();
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(ClockRunning, False);
    QCOMPARE(f.sender.payloads(), QStringList({"p1t09:59"}));
}

void CorrectionKeyboardTest::correction_discardsRunningSecond()
{
    MainWindowFixture f;
    f.loaded();
    f.window->cmdSTART_Click();
    f.clock.advanceMs(500);
    f.window->cmd1UP_Click();
    f.window->cmdSTART_Click();
    QCOMPARE(f.window->Timer1().nextDueNs(), f.clock.now + 1'000'000'000);
}

void CorrectionKeyboardTest::sKey_togglesWhateverHasFocus_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("start button, S") << "cmdSTART" << "S" << int(Qt::ShiftModifier);
    QTest::newRow("pause button, s") << "cmdPAUSE" << "s" << int(Qt::NoModifier);
    QTest::newRow("correction button, Ctrl+S") << "cmd1UP" << "s" << int(Qt::ControlModifier);
    QTest::newRow("reset button, s") << "cmdRESET" << "s" << int(Qt::NoModifier);
}

void CorrectionKeyboardTest::sKey_togglesWhateverHasFocus()
{
    QFETCH(QString, focus);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    MainWindowFixture f;
    f.loaded();
    auto *target = f.control(qPrintable(focus));
    target->setFocus();
    QCOMPARE(f.window->focusWidget(), target);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::KeyboardModifiers(modifiers), text);
    QApplication::sendEvent(target, &press);
    QVERIFY(f.window->Timer1().isEnabled());
    QCOMPARE(ClockRunning, True);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_S, Qt::KeyboardModifiers(modifiers), text, true);
    QApplication::sendEvent(target, &repeat); // auto-repeat toggles too
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(f.sender.payloads(), QStringList({"pause"}));
}

void CorrectionKeyboardTest::sKey_inEndedState_pausesThenStarts()
{
    MainWindowFixture f;
    f.loaded();
    f.endPeriod();
    QVERIFY(f.endShown());
    f.window->Form_KeyDown(83, Qt::NoModifier);
    QVERIFY(!f.endShown());
    QCOMPARE(f.digitColour(), Red);
    QCOMPARE(f.sender.payloads().last(), QString("pause"));
    f.window->Form_KeyDown(83, Qt::NoModifier);
    QVERIFY(f.window->Timer1().isEnabled());
    f.runFor(1);
    QVERIFY(f.endShown());
}

void CorrectionKeyboardTest::otherKey_reachesFocusedControl()
{
    MainWindowFixture f;
    f.loaded();
    auto *start = f.control<QPushButton>("cmdSTART");
    start->setFocus();
    QSignalSpy clicked(start, &QPushButton::clicked);
    QTest::keyClick(start, Qt::Key_Space); // the button's own key
    QCOMPARE(clicked.count(), 1);
    QTest::keyClick(start, Qt::Key_P);
    QCOMPARE(ClockRunning, True); // started by Space only; P did nothing here
    QCOMPARE(f.sender.payloads(), QStringList());
}

QTEST_MAIN(CorrectionKeyboardTest)
#include "correction_keyboard_test.moc"
