#include "settings_fixture.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace periodix;
using namespace periodix::common;

// Period Script files as they come from elsewhere: whatever a file holds, the
// settings window keeps working and nothing already saved is lost.
class BadInputTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir.isValid()); }
    void badFile_loadsWhatItCanAndWindowKeepsWorking_data();
    void badFile_loadsWhatItCanAndWindowKeepsWorking();
    void badTimeTexts_reportedOnOk_data();
    void badTimeTexts_reportedOnOk();
    void hugeFile_100000Periods();

private:
    QString file(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QString("f%1.ptm").arg(++count));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    int count = 0;
};

void BadInputTest::badFile_loadsWhatItCanAndWindowKeepsWorking_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QByteArray binary(4096, Qt::Uninitialized);
    QRandomGenerator random(7699);
    for (char &b : binary)
        b = char(random.bounded(256));
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("truncated in a legend") << QByteArray("TimeLeft\r\n1st Ha") << 1;
    QTest::newRow("truncated after a legend") << QByteArray("TimeLeft\r\nA\r\n10:00\r\nB\r\n") << 2;
    QTest::newRow("binary") << binary << -1;
    QTest::newRow("NUL bytes") << QByteArray("TimePass\r\nA\0B\r\n10:00\r\n", 22) << 1;
    QTest::newRow("LF only") << QByteArray("TimePass\nA\n10:00\n") << 0;
    QTest::newRow("mixed line ends") << QByteArray("TimePass\r\nA\r10:00\r\nB\n2\r1:00") << 2;
    QTest::newRow("extra empty line") << QByteArray("TimePass\r\nA\r\n10:00\r\n\r\n") << 2;
}

void BadInputTest::badFile_loadsWhatItCanAndWindowKeepsWorking()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    SettingsFixture f;
    f.dialogs.fileNames << file(bytes);
    f.window->cmdLOAD_Click(); // Ignore on any report
    if (rows >= 0)
        QCOMPARE(f.grid()->rows() - 1, rows);
    for (const ErrorReport &r : f.reports.reports)
        QVERIFY2(r.number == 62, qPrintable(r.text()));
    // The window still works: a period is added, saved and loaded back.
    f.grid()->setRow(0);
    f.window->FIX_GRID();
    f.add("Half", 20, 0);
    const QString saved = dir.filePath("after.ptm");
    f.dialogs.fileNames << saved;
    f.window->cmdSAVE_Click();
    f.dialogs.fileNames << saved;
    f.window->cmdLOAD_Click();
    QCOMPARE(f.rows(), QStringList({"Half|20:00"}));
}

void BadInputTest::badTimeTexts_reportedOnOk_data()
{
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("line");
    QTest::newRow("over-long minutes") << QByteArray("99999999999999999999:00") << 6 << 106;
    QTest::newRow("over-long seconds") << QByteArray("10:" + QByteArray(5000, '9')) << 6 << 107;
    QTest::newRow("non-numeric") << QByteArray("ab:cd") << 13 << 106;
    QTest::newRow("no colon") << QByteArray("1000") << 9 << 107;
    QTest::newRow("empty") << QByteArray("") << 9 << 106;
}

void BadInputTest::badTimeTexts_reportedOnOk()
{
    QFETCH(QByteArray, time);
    QFETCH(int, error);
    QFETCH(int, line);
    SettingsFixture f;
    f.dialogs.fileNames << file("TimeLeft\r\nOdd\r\n" + time + "\r\nFine\r\n10:00\r\n");
    f.window->cmdLOAD_Click();
    QCOMPARE(f.grid()->rows(), 3);
    QVERIFY(f.reports.reports.isEmpty()); // loading takes any text
    f.window->cmdOK_Click();
    QCOMPARE(f.reports.reports[0].number, error);
    QCOMPARE(f.reports.reports[0].line, line);
    // The other period is applied all the same.
    QCOMPARE(PeriodCount, qint16(2));
    QCOMPARE(PeriodTable(2).Minutes, qint16(10));
}

void BadInputTest::hugeFile_100000Periods()
{
    QByteArray bytes = "TimeLeft\r\n";
    for (int i = 1; i <= 100000; ++i)
        bytes += "Period " + QByteArray::number(i) + "\r\n" + QByteArray::number(i % 500) + ":30\r\n";
    SettingsFixture f;
    f.dialogs.fileNames << file(bytes);
    QElapsedTimer took;
    took.start();
    f.window->cmdLOAD_Click();
    QCOMPARE(f.grid()->rows(), 100001);
    QCOMPARE(f.grid()->textMatrix(100000, 1), QString("Period 100000"));
    f.window->cmdOK_Click();
    qInfo("100,000 periods loaded and confirmed in %lld ms", took.elapsed());
    // More rows than 16 bits hold: "Ok" refuses them with an overflow.
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(f.reports.reports[0].number, 6);
    QCOMPARE(f.reports.reports[0].line, 95);
}

QTEST_MAIN(BadInputTest)
#include "bad_input_test.moc"
