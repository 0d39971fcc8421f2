#include "settings_fixture.h"

#include <QtTest>

using namespace periodix;

class DemoTest : public QObject {
    Q_OBJECT
private slots:
    void countdownDemo_cyclesWithoutZero();
    void clockDemo_cyclesFromOneSecond();
    void selectedOption_blinksWithItsDemo();
    void otherOptionSelected_previousTurnsRegularAtOnce();
    void fileSelectingOtherOption_leavesNoCaptionBold();
    void closing_stopsBothDemos();
};

void DemoTest::countdownDemo_cyclesWithoutZero()
{
    SettingsFixture f;
    auto *label = f.control<QLabel>("lblLEFT");
    QCOMPARE(label->text(), QString("01:20"));
    QStringList shown;
    for (int i = 0; i < 81; ++i) {
        f.window->tmrLEFTdemo_Timer();
        shown << label->text();
    }
    QCOMPARE(shown.first(), QString("01:19"));
    QCOMPARE(shown[78], QString("00:01"));
    QCOMPARE(shown[79], QString("01:20")); // 00:00 is never shown
    QCOMPARE(shown[80], QString("01:19"));
    QVERIFY(!shown.contains("00:00"));
}

void DemoTest::clockDemo_cyclesFromOneSecond()
{
    SettingsFixture f;
    auto *label = f.control<QLabel>("lblPASS");
    QCOMPARE(label->text(), QString("00:00"));
    QStringList shown;
    for (int i = 0; i < 80; ++i) {
        f.window->tmrPASSdemo_Timer();
        shown << label->text();
    }
    QCOMPARE(shown.first(), QString("00:01"));
    QCOMPARE(shown[78], QString("01:19"));
    QCOMPARE(shown[79], QString("00:01"));
    QVERIFY(!shown.contains("01:20"));
}

void DemoTest::selectedOption_blinksWithItsDemo()
{
    SettingsFixture f;
    f.window->tmrPASSdemo_Timer();
    QVERIFY(f.clockTimer()->font().bold());
    f.window->tmrLEFTdemo_Timer(); // the other demo's tick
    QVERIFY(f.clockTimer()->font().bold());
    QVERIFY(!f.countdown()->font().bold());
    f.window->tmrPASSdemo_Timer();
    QVERIFY(!f.clockTimer()->font().bold());
}

void DemoTest::otherOptionSelected_previousTurnsRegularAtOnce()
{
    SettingsFixture f;
    f.window->tmrPASSdemo_Timer();
    QVERIFY(f.clockTimer()->font().bold());
    f.countdown()->click();
    QVERIFY(!f.clockTimer()->font().bold());
    QVERIFY(!f.countdown()->font().bold());
    f.window->tmrLEFTdemo_Timer();
    QVERIFY(f.countdown()->font().bold());
}

void DemoTest::fileSelectingOtherOption_leavesNoCaptionBold()
{
    SettingsFixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath("left.ptm");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("TimeLeft\r\nHalf\r\n20:00\r\n");
    file.close();
    f.window->tmrPASSdemo_Timer();
    QVERIFY(f.clockTimer()->font().bold());
    f.dialogs.fileNames << path;
    f.window->cmdLOAD_Click();
    QVERIFY(f.countdown()->isChecked());
    QVERIFY(!f.clockTimer()->font().bold());
}

void DemoTest::closing_stopsBothDemos()
{
    SettingsFixture f;
    f.window->show();
    f.window->close();
    QVERIFY(!f.window->tmrLEFTdemo().isActive());
    QVERIFY(!f.window->tmrPASSdemo().isActive());
}

QTEST_MAIN(DemoTest)
#include "demo_test.moc"
