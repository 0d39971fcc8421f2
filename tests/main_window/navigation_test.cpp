#include "main_window_fixture.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class NavigationTest : public QObject {
    Q_OBJECT
private slots:
    void onePeriod_bothButtonsDoNothing();
    void nextAndPrevious_switchButtonsAtTheEnds();
    void next_loadsPeriodStoppedAndSends_data();
    void next_loadsPeriodStoppedAndSends();
    void next_afterEnd_hidesEndAndShowsNewLength();
    void askMe_promptsAndStoresAnswers();
    void askMe_halfRoundsToEven();
    void askMe_cancelThenRetryAsksAgain();
    void askMe_cancelThenIgnoreKeepsOldValue();
    void askMe_overflowingAnswer();
    void previousIntoAnsweredPeriod_asksNothing();
    void askMe_everyNextAsksAgain();
};

void NavigationTest::onePeriod_bothButtonsDoNothing()
{
    MainWindowFixture f({{"Game", 20, 0}});
    f.loaded();
    f.window->cmdNEXTPERIOD_Click();
    f.window->cmdPREVPERIOD_Click();
    QCOMPARE(CurrentPeriod, qint16(1));
    QVERIFY(f.sender.sent.isEmpty());
}

void NavigationTest::nextAndPrevious_switchButtonsAtTheEnds()
{
    MainWindowFixture f({{"1", 10, 0}, {"2", 10, 0}, {"3", 10, 0}});
    f.loaded();
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(CurrentPeriod, qint16(2));
    QVERIFY(f.enabled("cmdPREVPERIOD"));
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(CurrentPeriod, qint16(3));
    QVERIFY(!f.enabled("cmdNEXTPERIOD"));
    QVERIFY(f.enabled("cmdPREVPERIOD"));
    f.window->cmdPREVPERIOD_Click();
    QVERIFY(f.enabled("cmdNEXTPERIOD"));
    QVERIFY(f.enabled("cmdPREVPERIOD"));
    f.window->cmdPREVPERIOD_Click();
    QCOMPARE(CurrentPeriod, qint16(1));
    QVERIFY(!f.enabled("cmdPREVPERIOD"));
    QVERIFY(f.enabled("cmdNEXTPERIOD"));
}

void NavigationTest::next_loadsPeriodStoppedAndSends_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<QString>("shown");
    QTest::newRow("countdown") << CountdownTimer << "12:30";
    QTest::newRow("clock timer") << ClockTimer << "00:00";
}

void NavigationTest::next_loadsPeriodStoppedAndSends()
{
    QFETCH(qint32, mode);
    QFETCH(QString, shown);
    MainWindowFixture f({{"1st", 10, 0}, {"2nd", 12, 30}}, mode);
    f.loaded();
    f.window->cmdSTART_Click();
    f.window->mnRESETYES_Click(); // period buttons enabled, clock stopped
    f.window->cmdSTART_Click();
    f.sender.sent.clear();
    f.window->cmdNEXTPERIOD_Click();
    QVERIFY(!f.window->Timer1().isEnabled());
    QCOMPARE(f.digits(), shown);
    QCOMPARE(f.control<QLabel>("lblPERIOD")->text(), QString("2nd"));
    QCOMPARE(f.digitColour(), Red);
    QCOMPARE(f.sender.payloads(), QStringList({"p2t" + shown}));
    QCOMPARE(PeriodSeconds, 750);
}

void NavigationTest::next_afterEnd_hidesEndAndShowsNewLength()
{
    MainWindowFixture f({{"1st", 10, 0}, {"2nd", 8, 0}});
    f.loaded();
    f.endPeriod();
    QVERIFY(f.endShown());
    f.window->cmdNEXTPERIOD_Click();
    QVERIFY(!f.endShown());
    QCOMPARE(f.digits(), QString("08:00"));
    QCOMPARE(f.digitColour(), Red);
}

void NavigationTest::askMe_promptsAndStoresAnswers()
{
    MainWindowFixture f({{"2nd Half", 20, 0}, {"Overtime", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "5" << "0";
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(f.dialogs.prompts, QStringList({"Minutes for the Overtime", "Seconds for the Overtime"}));
    QCOMPARE(f.digits(), QString("05:00"));
    QCOMPARE(f.digitColour(), Red);
    QCOMPARE(f.sender.payloads(), QStringList({"p2t05:00"}));
    QCOMPARE(PeriodTable(2).Minutes, qint16(5));
    QCOMPARE(PeriodTable(2).AskMe, True);
}

void NavigationTest::askMe_halfRoundsToEven()
{
    MainWindowFixture f({{"1st", 20, 0}, {"Extra", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "2.5" << " 30 ";
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(PeriodTable(2).Minutes, qint16(2));
    QCOMPARE(PeriodTable(2).Seconds, qint16(30));
    QCOMPARE(f.digits(), QString("02:30"));
}

void NavigationTest::askMe_cancelThenRetryAsksAgain()
{
    MainWindowFixture f({{"1st", 20, 0}, {"Extra", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "" << "3" << "15"; // Cancel gives the empty text
    f.reports.answer(Choice::Retry);
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(f.reports.reports[0].number, 13);
    QCOMPARE(f.reports.reports[0].procedure, QString("cmdNEXTPERIOD_Click"));
    QCOMPARE(f.reports.reports[0].line, 41);
    QCOMPARE(f.dialogs.prompts,
             QStringList({"Minutes for the Extra", "Minutes for the Extra", "Seconds for the Extra"}));
    QCOMPARE(f.digits(), QString("03:15"));
}

void NavigationTest::askMe_cancelThenIgnoreKeepsOldValue()
{
    MainWindowFixture f({{"1st", 20, 0}, {"Extra", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "" << "";
    f.window->cmdNEXTPERIOD_Click(); // Ignore twice
    QCOMPARE(f.reports.reports.size(), 2);
    QCOMPARE(f.reports.reports[1].line, 42);
    QCOMPARE(PeriodTable(2).Minutes, qint16(-1));
    QCOMPARE(PeriodTable(2).Seconds, qint16(-1));
    QCOMPARE(f.digits(), QString("-02:59"));
}

void NavigationTest::askMe_overflowingAnswer()
{
    MainWindowFixture f({{"1st", 20, 0}, {"Extra", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "40000" << "0";
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(f.reports.reports[0].number, 6);
    QCOMPARE(f.reports.reports[0].line, 41);
}

void NavigationTest::previousIntoAnsweredPeriod_asksNothing()
{
    MainWindowFixture f({{"1st", 20, 0}, {"Extra", 0, 0, true}, {"Last", 1, 0}});
    f.loaded();
    f.dialogs.inputs << "4" << "0";
    f.window->cmdNEXTPERIOD_Click();
    f.window->cmdNEXTPERIOD_Click();
    f.window->cmdPREVPERIOD_Click();
    QCOMPARE(f.dialogs.prompts.size(), 2);
    QCOMPARE(f.digits(), QString("04:00"));
}

void NavigationTest::askMe_everyNextAsksAgain()
{
    MainWindowFixture f({{"1st", 20, 0}, {"Extra", 0, 0, true}});
    f.loaded();
    f.dialogs.inputs << "4" << "0" << "6" << "0";
    f.window->cmdNEXTPERIOD_Click();
    f.window->cmdPREVPERIOD_Click();
    f.window->cmdNEXTPERIOD_Click();
    QCOMPARE(f.dialogs.prompts.size(), 4);
    QCOMPARE(f.digits(), QString("06:00"));
}

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
