#include "settings_fixture.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class ApplyTest : public QObject {
    Q_OBJECT
private slots:
    void ok_writesClockModelAndCloses();
    void ok_refusals();
    void ok_timeTexts_data();
    void ok_timeTexts();
    void ok_address_data();
    void ok_address();
    void ok_alwaysBackToFirstPeriodAndKeepsDirtyFlag();
    void closeBox_appliesNothing();
    void end_endsProgramAtOnce();
};

void ApplyTest::ok_writesClockModelAndCloses()
{
    SettingsFixture f;
    f.window->show();
    f.countdown()->click();
    f.add("1st Half", 20, 0);
    f.add("2nd Half", 20, 0);
    f.add("Overtime", 0, 0, true);
    f.control<QPushButton>("cmdOK")->click();
    QCOMPARE(PeriodCount, qint16(3));
    QCOMPARE(PeriodTable.upperBound(), 3);
    QVERIFY(PeriodTable(0).Legend.isEmpty());
    QCOMPARE(PeriodTable(1).Legend, QString("1st Half"));
    QCOMPARE(PeriodTable(2).Minutes, qint16(20));
    QCOMPARE(PeriodTable(3).AskMe, True);
    QCOMPARE(PeriodTable(3).Minutes, qint16(-1));
    QCOMPARE(PeriodTable(3).Seconds, qint16(-1));
    QCOMPARE(TimerMode, CountdownTimer);
    QCOMPARE(CurrentPeriod, qint16(1));
    QCOMPARE(BroadcastAddress, QString("127.0.0.255"));
    QVERIFY(!f.window->isVisible());
    QVERIFY(!f.window->tmrLEFTdemo().isActive());
}

void ApplyTest::ok_refusals()
{
    SettingsFixture f;
    f.window->show();
    f.window->cmdOK_Click(); // no period
    QVERIFY(f.window->isVisible());
    f.add("Half", 20, 0);
    f.address()->clear();
    f.window->cmdOK_Click(); // no digit typed
    QVERIFY(f.window->isVisible());
    QVERIFY(PeriodTable.isEmpty());
    QCOMPARE(TimerMode, 0);
    QVERIFY(f.reports.reports.isEmpty());
}

void ApplyTest::ok_timeTexts_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("line");
    QTest::newRow("12:05") << "12:05" << 12 << 5 << 0 << 0;
    QTest::newRow("third piece ignored") << "12:05:30" << 12 << 5 << 0 << 0;
    QTest::newRow("blanks") << " 7 : 5 " << 7 << 5 << 0 << 0;
    QTest::newRow("no colon") << "12" << 12 << 0 << 9 << 107;
    QTest::newRow("empty") << "" << 0 << 0 << 9 << 106;
    QTest::newRow("empty minutes") << ":30" << 0 << 30 << 13 << 106;
    QTest::newRow("too large") << "40000:00" << 0 << 0 << 6 << 106;
    QTest::newRow("lower-case ask me") << "ask me" << 0 << 0 << 13 << 106;
}

void ApplyTest::ok_timeTexts()
{
    QFETCH(QString, time);
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    QFETCH(int, error);
    QFETCH(int, line);
    SettingsFixture f;
    f.grid()->addItem({QString(), "Period", time});
    f.window->cmdOK_Click(); // Ignore on a report
    QCOMPARE(PeriodTable(1).Minutes, qint16(minutes));
    QCOMPARE(PeriodTable(1).Seconds, qint16(seconds));
    QCOMPARE(PeriodTable(1).AskMe, False);
    if (error == 0) {
        QVERIFY(f.reports.reports.isEmpty());
    } else {
        QCOMPARE(f.reports.reports[0].number, error);
        QCOMPARE(f.reports.reports[0].line, line);
        QCOMPARE(f.reports.reports[0].text().section("\r\n", 2, 2), QString("Location: Periodix.frmSet.cmdOK_Click"));
    }
    QCOMPARE(PeriodCount, qint16(1)); // the rest of "Ok" went on
}

void ApplyTest::ok_address_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("address");
    QTest::newRow("leading zeros dropped") << "127.168.001" << "127.168.1.255";
    QTest::newRow("010 is ten") << "010.001.002" << "10.1.2.255"; // only read, never sent: no network namespace needed
    QTest::newRow("partly typed") << "19_.1__.___" << "19.1.0.255";
    QTest::newRow("off") << "000.000.000" << "0.0.0.255";
    QTest::newRow("no range check") << "999.000.000" << "999.0.0.255";
    QTest::newRow("blank first place") << "_12.000.007" << "0.0.7.255";
}

void ApplyTest::ok_address()
{
    QFETCH(QString, typed);
    QFETCH(QString, address);
    SettingsFixture f;
    f.add("Half", 20, 0);
    QLineEdit *box = f.address();
    box->clear();
    box->setFocus();
    for (int i = 0; i < typed.size(); ++i) { // each place typed over, blanks left blank
        if (typed[i].isDigit()) {
            box->setCursorPosition(i);
            QTest::keyClick(box, typed[i].toLatin1());
        }
    }
    QCOMPARE(f.address()->displayText(), typed);
    f.window->cmdOK_Click();
    QCOMPARE(BroadcastAddress, address);
}

void ApplyTest::ok_alwaysBackToFirstPeriodAndKeepsDirtyFlag()
{
    SettingsFixture f;
    CurrentPeriod = 3;
    f.add("Half", 20, 0);
    QCOMPARE(PeriodSetDirty, True);
    f.window->cmdOK_Click();
    QCOMPARE(CurrentPeriod, qint16(1));
    QCOMPARE(PeriodSetDirty, True);
    QVERIFY(f.dialogs.questions.isEmpty());
}

void ApplyTest::closeBox_appliesNothing()
{
    SettingsFixture f;
    f.window->show();
    f.add("Half", 20, 0);
    f.window->close();
    QVERIFY(!f.window->isVisible());
    QVERIFY(PeriodTable.isEmpty());
    QCOMPARE(PeriodCount, qint16(0));
    QVERIFY(BroadcastAddress.isEmpty());
    QVERIFY(!f.window->tmrPASSdemo().isActive());
}

void ApplyTest::end_endsProgramAtOnce()
{
    SettingsFixture f;
    f.add("Unsaved", 20, 0);
    try {
        f.window->cmdCANCEL_Click(); // (the test's ending throws; Qt's own frames must not see it)
        QFAIL("End did not end the program");
    } catch (const ProgramEnded &ended) {
        QCOMPARE(ended.exitCode, 0);
    }
    QVERIFY(f.dialogs.questions.isEmpty());
    QVERIFY(PeriodTable.isEmpty());
}

QTEST_MAIN(ApplyTest)
#include "apply_test.moc"
