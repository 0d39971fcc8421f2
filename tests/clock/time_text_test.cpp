#include "clock/time_text.h"
#include "support/scripted_reports.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

class TimeTextTest : public QObject {
    Q_OBJECT
private slots:
    void sec2time_data();
    void sec2time();
    void sec2time_failures_data();
    void sec2time_failures();
    void time2sec_data();
    void time2sec();
    void time2sec_failures_data();
    void time2sec_failures();
    void roundTrip_wholeRange();
};

void TimeTextTest::sec2time_data()
{
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "00:00";
    QTest::newRow("59") << 59 << "00:59";
    QTest::newRow("60") << 60 << "01:00";
    QTest::newRow("600") << 600 << "10:00";
    QTest::newRow("725") << 725 << "12:05";
    QTest::newRow("5999") << 5999 << "99:59";
    QTest::newRow("6000") << 6000 << "100:00";
    QTest::newRow("32819") << 32819 << "546:59";
    QTest::newRow("-1") << -1 << "-01:59";
    QTest::newRow("-60") << -60 << "-01:00";
    QTest::newRow("-61") << -61 << "-02:59";
    QTest::newRow("-32760") << -32760 << "-546:00";
}

void TimeTextTest::sec2time()
{
    ScriptedReports script;
    QFETCH(qint32, seconds);
    QFETCH(QString, text);
    QCOMPARE(SEC2TIME(seconds), text);
    QVERIFY(script.reports.isEmpty());
}

void TimeTextTest::sec2time_failures_data()
{
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QString>("afterIgnore");
    QTest::newRow("32820") << 32820 << QList<int>{5} << "547:00";
    QTest::newRow("1966079") << 1966079 << QList<int>{5} << "32767:00";
    QTest::newRow("-32761") << -32761 << QList<int>{5} << "-547:00";
    QTest::newRow("-1966080") << -1966080 << QList<int>{5} << "-32768:00";
    // Minutes out of 16 bits: line 4, then line 5 with minutes left at 0.
    QTest::newRow("1966080") << 1966080 << QList<int>{4, 5} << "00:00";
    QTest::newRow("-1966081") << -1966081 << QList<int>{4, 5} << "00:00";
}

void TimeTextTest::sec2time_failures()
{
    ScriptedReports script;
    QFETCH(qint32, seconds);
    QFETCH(QList<int>, lines);
    QFETCH(QString, afterIgnore);
    QCOMPARE(SEC2TIME(seconds), afterIgnore);
    QCOMPARE(script.reports.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(script.reports[i].line, lines[i]);
        QCOMPARE(script.reports[i].number, 6);
        QCOMPARE(script.reports[i].module, QString("common"));
        QCOMPARE(script.reports[i].procedure, QString("SEC2TIME"));
    }
}

void TimeTextTest::time2sec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("seconds");
    QTest::newRow("12:05") << "12:05" << 725;
    QTest::newRow("05:07") << "05:07" << 307;
    QTest::newRow("-01:-01") << "-01:-01" << -61;
    QTest::newRow("546:07") << "546:07" << 32767;
    QTest::newRow("blanks and sign") << " +2 : 3 " << 123;
    QTest::newRow("half to even down") << "2.5:0" << 120;
    QTest::newRow("half to even up") << "3.5:0" << 240;
    QTest::newRow("third part ignored") << "12:05:30" << 725;
    QTest::newRow("seconds over 59") << "1:75" << 135;
}

void TimeTextTest::time2sec()
{
    ScriptedReports script;
    QFETCH(QString, text);
    QFETCH(qint32, seconds);
    QCOMPARE(TIME2SEC(text), seconds);
    QVERIFY(script.reports.isEmpty());
}

void TimeTextTest::time2sec_failures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("number");
    QTest::addColumn<qint32>("afterIgnore");
    QTest::newRow("empty") << "" << 12 << 9 << 0; // then line 13 fails too
    QTest::newRow("no colon") << "12" << 13 << 9 << 720;
    QTest::newRow("Ask me") << "Ask me" << 12 << 13 << 0;
    QTest::newRow("empty minutes") << ":30" << 12 << 13 << 30;
    QTest::newRow("not a number") << "10:x" << 13 << 13 << 600;
    QTest::newRow("minutes too large") << "40000:00" << 12 << 6 << 0;
    QTest::newRow("546:08") << "546:08" << 14 << 6 << 0;
    QTest::newRow("minutes times 60") << "600:00" << 14 << 6 << 0;
}

void TimeTextTest::time2sec_failures()
{
    ScriptedReports script;
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(int, number);
    QFETCH(qint32, afterIgnore);
    QCOMPARE(TIME2SEC(text), afterIgnore);
    QVERIFY(!script.reports.isEmpty());
    QCOMPARE(script.reports[0].line, line);
    QCOMPARE(script.reports[0].number, number);
    QCOMPARE(script.reports[0].procedure, QString("TIME2SEC"));
}

void TimeTextTest::roundTrip_wholeRange()
{
    ScriptedReports script;
    for (qint32 s = -32760; s <= 32767; ++s) {
        if (TIME2SEC(SEC2TIME(s)) != s)
            QFAIL(qPrintable(QString("round trip broke at %1").arg(s)));
    }
    QVERIFY(script.reports.isEmpty());
}

QTEST_GUILESS_MAIN(TimeTextTest)
#include "time_text_test.moc"
