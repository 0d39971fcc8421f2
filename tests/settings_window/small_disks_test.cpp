#include "script_files.h"
#include "settings_fixture.h"

#include <QtTest>

using namespace periodix;
using common::PeriodSetDirty;

namespace {
const QByteArray &Example = ExampleSet;
} // namespace

// Saving onto real file systems that refuse: a full disk and a read-only one.
class SmallDisksTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fullDisk_keepsOldFileAndReportsDiskFull();
    void readOnlyFolder_keepsOldFileAndReportsPermissionDenied();

private:
    QString full;
    QString readOnly;
};

void SmallDisksTest::initTestCase()
{
    full = qEnvironmentVariable("PERIODIX_FULL_DISK");
    readOnly = qEnvironmentVariable("PERIODIX_READ_ONLY");
    if (full.isEmpty() || readOnly.isEmpty())
        QSKIP("run through with_small_disks.sh");
}

void SmallDisksTest::fullDisk_keepsOldFileAndReportsDiskFull()
{
    const QString path = full + "/set.ptm";
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(Example);
    }
    // Fill the rest of the disk.
    QFile filler(full + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    SettingsFixture f;
    for (int i = 0; i < 40; ++i)
        f.add(QString("Period %1").arg(i), 10, 0);
    f.dialogs.fileNames << path;
    f.window->cmdSAVE_Click(); // Ignore on every report
    QVERIFY(!f.reports.reports.isEmpty());
    QCOMPARE(f.reports.reports[0].number, 61);
    QCOMPARE(f.reports.reports[0].description, QString("Disk full"));
    QCOMPARE(readAll(path), Example);
    QCOMPARE(QDir(full).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary file left

    // Room again: the same window saves.
    QVERIFY(QFile::remove(full + "/filler"));
    f.reports.reports.clear();
    f.dialogs.fileNames << path;
    f.window->cmdSAVE_Click();
    QVERIFY(f.reports.reports.isEmpty());
    QVERIFY(readAll(path).startsWith("TimePass\r\nPeriod 0\r\n10:00\r\n"));
    QCOMPARE(PeriodSetDirty, False);
}

void SmallDisksTest::readOnlyFolder_keepsOldFileAndReportsPermissionDenied()
{
    const QString path = readOnly + "/old.ptm";
    SettingsFixture f;
    f.add("New", 5, 0);
    f.dialogs.fileNames << path;
    f.window->cmdSAVE_Click();
    QVERIFY(!f.reports.reports.isEmpty());
    QCOMPARE(f.reports.reports[0].number, 70);
    QCOMPARE(f.reports.reports[0].line, 154);
    QCOMPARE(readAll(path), Example);
    QCOMPARE(PeriodSetDirty, False); // Ignore went on to the end, as the operator chose
}

QTEST_MAIN(SmallDisksTest)
#include "small_disks_test.moc"
