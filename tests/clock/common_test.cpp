#include "clock/common.h"
#include "clock/time_text.h"
#include "support/scripted_reports.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class CommonTest : public QObject {
    Q_OBJECT
private slots:
    void init() { resetToProcessStart(); }
    void processStart_values();
    void periodTable_emptyBeforeConfirmation();
    void periodTimeText_data();
    void periodTimeText();
    void periodLongerThan16Bits_overflows();
};

void CommonTest::processStart_values()
{
    ClockSeconds = 5;
    TimerMode = 2;
    PeriodTable.redim(2);
    resetToProcessStart();
    QCOMPARE(ClockRunning, False);
    QVERIFY(BroadcastAddress.isEmpty());
    QCOMPARE(ClockSeconds, 0);
    QCOMPARE(PeriodSeconds, 0);
    QCOMPARE(TimerMode, 0);
    QCOMPARE(CurrentPeriod, qint16(0));
    QCOMPARE(PeriodCount, qint16(0));
    QVERIFY(PeriodTable.isEmpty());
    QCOMPARE(PeriodSetDirty, False);
}

void CommonTest::periodTable_emptyBeforeConfirmation()
{
    int number = 0;
    try {
        PeriodTable(0);
    } catch (const RuntimeError &e) {
        number = e.number;
    }
    QCOMPARE(number, 9);
    PeriodTable.redim(3);
    QCOMPARE(PeriodTable.upperBound(), 3);
    QCOMPARE(PeriodTable(0).AskMe, False);
    QVERIFY(PeriodTable(0).Legend.isEmpty());
}

void CommonTest::periodTimeText_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("periodSeconds");
    QTest::newRow("12:05") << 12 << 5 << "12:05" << 725;
    QTest::newRow("ask me unanswered") << -1 << -1 << "-01:-01" << -61;
    QTest::newRow("10:00") << 10 << 0 << "10:00" << 600;
}

void CommonTest::periodTimeText()
{
    ScriptedReports script;
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QFETCH(qint32, periodSeconds);
    const PeriodRecord record{"Legend", False, qint16(minutes), qint16(seconds)};
    QCOMPARE(common::periodTimeText(record), text);
    QCOMPARE(TIME2SEC(common::periodTimeText(record)), periodSeconds);
}

void CommonTest::periodLongerThan16Bits_overflows()
{
    ScriptedReports script;
    const PeriodRecord record{"Long", False, 546, 8};
    TIME2SEC(common::periodTimeText(record));
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].number, 6);
}

QTEST_GUILESS_MAIN(CommonTest)
#include "common_test.moc"
