#include "settings_fixture.h"

#include <QtTest>

using namespace periodix;
using common::PeriodSetDirty;

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void add_appendsSelectsAndKeepsInputs();
    void add_refusals_data();
    void add_refusals();
    void add_askMe_whateverTheBarsShow();
    void remove_cases();
    void remove_withHeaderCurrent_isRefused();
    void moveUp_swapsAndKeepsSelection();
    void moveDown_swapsAndKeepsSelection();
    void moves_refusedAtTheEnds();
    void scrollBars_data();
    void scrollBars();
    void askMeBox_greysBarsAndRestoresTime();
    void barsAndBox_leaveDirtyFlag();
};

void EditorTest::add_appendsSelectsAndKeepsInputs()
{
    SettingsFixture f;
    f.add("1st Half", 20, 0);
    f.add("2nd Half", 20, 0);
    QCOMPARE(f.rows(), QStringList({"1st Half|20:00", "2nd Half|20:00"}));
    QCOMPARE(f.grid()->row(), 2);
    QCOMPARE(f.legendBox()->text(), QString("2nd Half"));
    QCOMPARE(f.timeBox(), QString("20:00"));
    QCOMPARE(PeriodSetDirty, True);
}

void EditorTest::add_refusals_data()
{
    QTest::addColumn<QString>("legend");
    QTest::addColumn<int>("minutes");
    QTest::newRow("empty legend") << "" << 10;
    QTest::newRow("zero length") << "Half" << 0;
}

void EditorTest::add_refusals()
{
    QFETCH(QString, legend);
    QFETCH(int, minutes);
    SettingsFixture f;
    f.add(legend, minutes, 0);
    QCOMPARE(f.grid()->rows(), 1);
    QCOMPARE(PeriodSetDirty, False);
    QVERIFY(f.reports.reports.isEmpty());
}

void EditorTest::add_askMe_whateverTheBarsShow()
{
    SettingsFixture f;
    f.add("Overtime", 0, 0, true);
    f.minutes()->setValue(7);
    f.add("Shootout", 7, 0, true);
    f.add("   ", 1, 0); // a legend of blanks is a legend
    QCOMPARE(f.rows(), QStringList({"Overtime|Ask me", "Shootout|Ask me", "   |01:00"}));
}

void EditorTest::remove_cases()
{
    SettingsFixture f;
    f.control<QPushButton>("cmdREMOVE")->click(); // empty grid: nothing
    QCOMPARE(PeriodSetDirty, False);
    f.add("A", 1, 0);
    f.add("B", 2, 0);
    f.add("C", 3, 0);
    f.grid()->setRow(2);
    PeriodSetDirty = False;
    f.control<QPushButton>("cmdREMOVE")->click();
    QCOMPARE(f.rows(), QStringList({"A|01:00", "C|03:00"}));
    QCOMPARE(PeriodSetDirty, True);
    f.grid()->setRow(1);
    f.control<QPushButton>("cmdREMOVE")->click();
    f.grid()->setRow(1);
    f.control<QPushButton>("cmdREMOVE")->click(); // the last one resets the grid
    QCOMPARE(f.grid()->rows(), 1);
    QCOMPARE(f.grid()->textMatrix(0, 1), QString("Period Descr"));
}

void EditorTest::remove_withHeaderCurrent_isRefused()
{
    SettingsFixture f;
    f.add("A", 1, 0);
    f.add("B", 2, 0);
    f.grid()->setRow(0);
    PeriodSetDirty = False;
    f.window->cmdREMOVE_Click();
    f.window->cmdDOWN_Click();
    QCOMPARE(f.rows(), QStringList({"A|01:00", "B|02:00"}));
    QCOMPARE(f.grid()->textMatrix(0, 1), QString("Period Descr"));
    QCOMPARE(PeriodSetDirty, False);
}

void EditorTest::moveUp_swapsAndKeepsSelection()
{
    SettingsFixture f;
    f.add("A", 1, 0);
    f.add("B", 2, 0);
    f.add("C", 3, 0);
    PeriodSetDirty = False;
    f.control<QPushButton>("cmdUP")->click(); // C is selected
    QCOMPARE(f.rows(), QStringList({"A|01:00", "C|03:00", "B|02:00"}));
    QCOMPARE(f.grid()->row(), 2);
    QCOMPARE(f.grid()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(f.grid()->selectionModel()->selectedRows()[0].row(), 1);
    QCOMPARE(PeriodSetDirty, True);
    f.control<QPushButton>("cmdUP")->click();
    QCOMPARE(f.rows(), QStringList({"C|03:00", "A|01:00", "B|02:00"}));
    QCOMPARE(f.grid()->row(), 1);
}

void EditorTest::moveDown_swapsAndKeepsSelection()
{
    SettingsFixture f;
    f.add("A", 1, 0);
    f.add("B", 2, 0);
    f.add("C", 3, 0);
    f.grid()->setRow(1);
    f.control<QPushButton>("cmdDOWN")->click();
    QCOMPARE(f.rows(), QStringList({"B|02:00", "A|01:00", "C|03:00"}));
    QCOMPARE(f.grid()->row(), 2);
    QCOMPARE(f.grid()->selectionModel()->selectedRows()[0].row(), 1);
}

void EditorTest::moves_refusedAtTheEnds()
{
    SettingsFixture f;
    f.control<QPushButton>("cmdUP")->click();
    f.control<QPushButton>("cmdDOWN")->click();
    f.add("A", 1, 0);
    f.add("B", 2, 0);
    PeriodSetDirty = False;
    f.control<QPushButton>("cmdDOWN")->click(); // B is last
    f.grid()->setRow(1);
    f.control<QPushButton>("cmdUP")->click(); // A is first
    QCOMPARE(f.rows(), QStringList({"A|01:00", "B|02:00"}));
    QCOMPARE(PeriodSetDirty, False);
    QVERIFY(f.reports.reports.isEmpty());
}

void EditorTest::scrollBars_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("minutesAction"); // QAbstractSlider::SliderAction
    QTest::addColumn<int>("secondsAction");
    QTest::addColumn<QString>("shown");
    const int none = QAbstractSlider::SliderNoAction;
    const int down = QAbstractSlider::SliderSingleStepAdd; // the lower arrow
    const int up = QAbstractSlider::SliderSingleStepSub;
    QTest::newRow("05:59 carries to 06:00") << 5 << 59 << none << down << "06:00";
    QTest::newRow("no borrow at 0 seconds") << 5 << 0 << none << up << "05:00";
    QTest::newRow("59:59 carries to 60:00") << 59 << 59 << none << down << "60:00";
    QTest::newRow("60 minutes pins seconds") << 60 << 0 << none << down << "60:00";
    QTest::newRow("59:30, minutes to 60") << 59 << 30 << down << none << "60:30";
    QTest::newRow("61:59 stays") << 61 << 59 << none << down << "61:59";
    QTest::newRow("200 minutes") << 199 << 5 << down << none << "200:05";
    QTest::newRow("page step of ten") << 0 << 0 << int(QAbstractSlider::SliderPageStepAdd) << none << "10:00";
}

void EditorTest::scrollBars()
{
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    QFETCH(int, minutesAction);
    QFETCH(int, secondsAction);
    QFETCH(QString, shown);
    SettingsFixture f;
    f.minutes()->setValue(minutes);
    f.seconds()->setValue(seconds);
    f.minutes()->triggerAction(QAbstractSlider::SliderAction(minutesAction));
    f.seconds()->triggerAction(QAbstractSlider::SliderAction(secondsAction));
    QCOMPARE(f.timeBox(), shown);
}

void EditorTest::askMeBox_greysBarsAndRestoresTime()
{
    SettingsFixture f;
    f.minutes()->setValue(12);
    f.seconds()->setValue(5);
    f.askMe()->click();
    QCOMPARE(f.timeBox(), QString("00:00"));
    QVERIFY(!f.minutes()->isEnabled());
    QVERIFY(!f.seconds()->isEnabled());
    f.askMe()->click();
    QCOMPARE(f.timeBox(), QString("12:05"));
    QVERIFY(f.minutes()->isEnabled());
}

void EditorTest::barsAndBox_leaveDirtyFlag()
{
    SettingsFixture f;
    f.minutes()->setValue(3);
    f.seconds()->setValue(60);
    f.askMe()->click();
    QCOMPARE(PeriodSetDirty, False);
    QCOMPARE(f.grid()->rows(), 1);
}

QTEST_MAIN(EditorTest)
#include "editor_test.moc"
