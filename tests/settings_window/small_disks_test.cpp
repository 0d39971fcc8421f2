#include "script_files.h"
#include "settings_fixture.h"
#include "support/child_process.h"

#include <QtTest>

using namespace periodix;
using common::PeriodSetDirty;

namespace {
const QByteArray &Example = ExampleSet;
} // namespace

// Saving onto real file systems that refuse: a full disk, a read-only one,
// and files and folders whose permissions refuse the operator.
class SmallDisksTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fullDisk_keepsOldFileAndReportsDiskFull();
    void readOnlyFolder_keepsOldFileAndReportsPermissionDenied();
    void permissions_asOperator_data();
    void permissions_asOperator();

private:
    QString full;
    QString readOnly;
};

void SmallDisksTest::initTestCase()
{
    full = qEnvironmentVariable("PERIODIX_FULL_DISK");
    readOnly = qEnvironmentVariable("PERIODIX_READ_ONLY");
    useOpenStateFolder();
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
    QCOMPARE(PeriodSetDirty, True);

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
    QCOMPARE(PeriodSetDirty, True); // not saved: loading still warns
}

void SmallDisksTest::permissions_asOperator_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<QString>("firstReport"); // "number at line", or empty
    QTest::addColumn<bool>("replaced");
    QTest::newRow("read-only file: refused, untouched") << true << false << "75 at 154" << false;
    QTest::newRow("read-only folder, writable file: written") << false << true << "" << true;
}

void SmallDisksTest::permissions_asOperator()
{
    // Root passes permission bits, so the operator is "nobody" here.
    QFETCH(bool, folderWritable);
    QFETCH(bool, fileWritable);
    QFETCH(QString, firstReport);
    QFETCH(bool, replaced);
    QTemporaryDir holder;
    const QString folder = holder.filePath("sets");
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + "/old.ptm";
    QVERIFY(writeAll(path, Example));
    const auto everyone = [](bool write) {
        return QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup |
               QFile::ExeOther | (write ? QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther : QFile::Permissions());
    };
    QVERIFY(QFile::setPermissions(holder.path(), everyone(false)));
    QVERIFY(QFile::setPermissions(folder, everyone(folderWritable)));
    QVERIFY(QFile::setPermissions(path, everyone(fileWritable) & ~(QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)));

    const ChildResult child = inChild([&](int out) {
        if (!becomeUnprivileged()) {
            say(out, "no other user");
            return;
        }
        SettingsFixture f;
        f.add("New", 5, 0);
        f.dialogs.fileNames << path;
        f.window->cmdSAVE_Click(); // Ignore on every report
        if (!f.reports.reports.isEmpty())
            say(out, qPrintable(QString("%1 at %2").arg(f.reports.reports[0].number).arg(f.reports.reports[0].line)));
    });
    QFile::setPermissions(folder, everyone(true));
    if (child.output == "no other user")
        QSKIP("no unprivileged user in this user namespace");
    QVERIFY2(child.exited && child.exitCode == 0, qPrintable(child.output));
    QCOMPARE(child.output, firstReport);
    QCOMPARE(readAll(path), replaced ? QByteArray("TimePass\r\nNew\r\n05:00\r\n") : Example);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"old.ptm"}));
}

QTEST_MAIN(SmallDisksTest)
#include "small_disks_test.moc"
