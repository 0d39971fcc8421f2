#include "settings_fixture.h"

#include <QtTest>

using namespace periodix;
using namespace periodix::common;

// The ready-made period sets in examples/ load and confirm as they should.
class ExamplesTest : public QObject {
    Q_OBJECT
private slots:
    void example_loadsAndConfirms_data();
    void example_loadsAndConfirms();
};

void ExamplesTest::example_loadsAndConfirms_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("basketball") << "basketball.ptm" << CountdownTimer
                                << QStringList{"1st Quarter|10:00", "2nd Quarter|10:00", "3rd Quarter|10:00",
                                               "4th Quarter|10:00", "Overtime|Ask me"};
    QTest::newRow("football") << "football.ptm" << ClockTimer
                              << QStringList{"1st Half|45:00", "2nd Half|45:00", "Extra Time|Ask me"};
    QTest::newRow("ice hockey") << "ice_hockey.ptm" << CountdownTimer
                                << QStringList{"1st Period|20:00", "2nd Period|20:00", "3rd Period|20:00"};
    QTest::newRow("handball") << "handball.ptm" << ClockTimer << QStringList{"1st Half|30:00", "2nd Half|30:00"};
    QTest::newRow("futsal") << "futsal.ptm" << CountdownTimer << QStringList{"1st Half|20:00", "2nd Half|20:00"};
}

void ExamplesTest::example_loadsAndConfirms()
{
    QFETCH(QString, file);
    QFETCH(qint32, mode);
    QFETCH(QStringList, rows);
    SettingsFixture f;
    f.dialogs.fileNames << QStringLiteral(PERIODIX_EXAMPLES_DIR "/") + file;
    f.window->cmdLOAD_Click();
    QCOMPARE(f.rows(), rows);
    f.window->cmdOK_Click();
    QVERIFY(f.reports.reports.isEmpty());
    QCOMPARE(TimerMode, mode);
    QCOMPARE(PeriodCount, qint16(rows.size()));
    for (int i = 1; i <= rows.size(); ++i) {
        const QString time = rows[i - 1].section('|', 1);
        QCOMPARE(PeriodTable(i).AskMe, time == "Ask me" ? True : False);
        if (time != "Ask me")
            QCOMPARE(periodTimeText(PeriodTable(i)), time);
    }
}

QTEST_MAIN(ExamplesTest)
#include "examples_test.moc"
