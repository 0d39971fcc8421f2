#include "script_files.h"
#include "settings_fixture.h"
#include "files/durable_replace.h"
#include "files/leftovers.h"
#include "files/period_script_writer.h"
#include "error_reporting/process_end.h"
#include "support/child_process.h"
#include "support/failing_devices.h"
#include "support/system_call_faults.h"

#include <QtTest>

#include <cerrno>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace periodix;
using common::PeriodSetDirty;

namespace {

const QByteArray &Example = ExampleSet;


// Devices for saving a set: a new file beside the file, or the file itself
// when it is written in place.
template <template <class> class Device, class... Args>
std::unique_ptr<QFileDevice> device(const QString &path, bool, Args... args)
{
    return std::make_unique<Device<QFile>>(path, args...);
}

// A file Qt cannot seek, as it takes one whose fstat failed.
template <class Base>
class SequentialFile : public Base {
public:
    using Base::Base;
    bool isSequential() const override { return true; }
};

// A file whose writer dies (a crash, a power cut) in the write that takes it
// past so many bytes, after those bytes.
class DyingFile : public QFile {
public:
    DyingFile(const QString &path, qint64 budget) : QFile(path), budget_(budget) {}

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (size > budget_) {
            QFile::writeData(data, budget_);
            ::_exit(0);
        }
        budget_ -= size;
        return QFile::writeData(data, size);
    }

private:
    qint64 budget_;
};

} // namespace

class PeriodScriptTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        holder = std::make_unique<QTemporaryDir>();
        QVERIFY(holder->isValid());
        oldSets = useOpenStateFolder();
    }
    void cleanup()
    {
        ScriptWriter::setDeviceFactory({});
        syncFault = replaceFault = 0;
        syncsLeft = -1;
    }
    void save_exampleSet_isExactly62Bytes();
    void save_dialogSetupAndCancel();
    void save_emptySet_opensNoDialog();
    void load_exampleSet_selectsCountdownAndFillsRows();
    void saveThenLoad_roundTrip();
    void load_keyword_data();
    void load_keyword();
    void load_lineEnds_data();
    void load_lineEnds();
    void load_missingTimeLine_reportsError62();
    void load_emptyFile_reportsError62AtLine71();
    void load_missingFile_reportsFileNotFound_data();
    void load_missingFile_reportsFileNotFound();
    void load_unsavedEdits_asksBeforeLosing();
    void load_noUnsavedEdits_asksNothing();
    void load_cancelledDialog_leavesGridEmpty();
    void everyByte_survivesLoadAndSave();
    void leftovers_toldOnLoadAndSave_data();
    void leftovers_toldOnLoadAndSave();
    void saveFailingPartWay_keepsOldFile_data();
    void saveFailingPartWay_keepsOldFile();
    void saveFailingLine_retryWritesItWhole();
    void save_readOnlyFolder_reportsPermissionDenied();
    void saveFailures_data();
    void saveFailures();
    void save_throughLink_writesLinkedFileWithItsPermissions_data();
    void save_throughLink_writesLinkedFileWithItsPermissions();
    void save_longestName_saved();
    void abortDuringSave_leavesNoTemporaryFile();

private:
    // Writes the bytes to a file and loads it through "Load set".
    void loadBytes(SettingsFixture &f, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QString("in%1.ptm").arg(++count));
        writeAll(path, bytes);
        f.dialogs.fileNames << path;
        f.window->cmdLOAD_Click();
    }
    QString savedWith(SettingsFixture &f)
    {
        const QString path = dir.filePath(QString("set%1.ptm").arg(++count));
        f.dialogs.fileNames << path;
        f.window->cmdSAVE_Click();
        return path;
    }
    std::unique_ptr<QTemporaryDir> holder;
    struct Dir {
        PeriodScriptTest *test;
        QString filePath(const QString &name) const { return test->holder->filePath(name); }
        QString path() const { return test->holder->path(); }
    } dir{this};
    QString oldSets; // where copies of sets written in place are kept
    int count = 0;
};

void PeriodScriptTest::save_exampleSet_isExactly62Bytes()
{
    SettingsFixture f;
    f.countdown()->click();
    f.add("1st Half", 20, 0);
    f.add("2nd Half", 20, 0);
    f.add("Overtime", 0, 0, true);
    const QString path = savedWith(f);
    QCOMPARE(readAll(path), Example);
    QCOMPARE(Example.size(), 62);
    QCOMPARE(PeriodSetDirty, False);
    QVERIFY(f.reports.reports.isEmpty());
}

void PeriodScriptTest::save_dialogSetupAndCancel()
{
    SettingsFixture f;
    f.add("Half", 1, 0);
    f.window->cmdSAVE_Click(); // cancelled: no name
    QCOMPARE(f.dialogs.fileDialogs.size(), 1);
    const FileDialogSetup &setup = f.dialogs.fileDialogs[0];
    QCOMPARE(setup.title, QString("Save Period Set"));
    QCOMPARE(setup.filter, QString("Period Script (*.ptm)|*.ptm|All files (*.*)|*.*"));
    QVERIFY(setup.confirmOverwrite);
    QVERIFY(!setup.existingFileOnly);
    QCOMPARE(PeriodSetDirty, True);
    QVERIFY(f.reports.reports.isEmpty());
}

void PeriodScriptTest::save_emptySet_opensNoDialog()
{
    SettingsFixture f;
    f.window->cmdSAVE_Click();
    QVERIFY(f.dialogs.fileDialogs.isEmpty());
}

void PeriodScriptTest::load_exampleSet_selectsCountdownAndFillsRows()
{
    SettingsFixture f;
    loadBytes(f, Example);
    QCOMPARE(f.dialogs.fileDialogs[0].title, QString("Load Period Set"));
    QVERIFY(f.dialogs.fileDialogs[0].existingFileOnly);
    QVERIFY(f.countdown()->isChecked());
    QCOMPARE(f.rows(), QStringList({"1st Half|20:00", "2nd Half|20:00", "Overtime|Ask me"}));
    QCOMPARE(PeriodSetDirty, False);
}

void PeriodScriptTest::saveThenLoad_roundTrip()
{
    SettingsFixture f;
    f.add("Q1", 10, 0);
    f.add("Q2", 12, 30);
    f.add("OT", 0, 0, true);
    const QString path = savedWith(f);
    SettingsFixture g;
    g.countdown()->click();
    g.dialogs.fileNames << path;
    g.window->cmdLOAD_Click();
    QVERIFY(g.clockTimer()->isChecked());
    QCOMPARE(g.rows(), f.rows());
}

void PeriodScriptTest::load_keyword_data()
{
    QTest::addColumn<QByteArray>("keyword");
    QTest::addColumn<bool>("countdown");
    QTest::newRow("TimeLeft") << QByteArray("TimeLeft") << true;
    QTest::newRow("TimePass") << QByteArray("TimePass") << false;
    QTest::newRow("lower case") << QByteArray("timeleft") << false;
    QTest::newRow("other") << QByteArray("Quarter") << false;
}

void PeriodScriptTest::load_keyword()
{
    QFETCH(QByteArray, keyword);
    QFETCH(bool, countdown);
    SettingsFixture f;
    loadBytes(f, keyword + "\r\nHalf\r\n20:00\r\n");
    QCOMPARE(f.countdown()->isChecked(), countdown);
    QCOMPARE(f.rows(), QStringList({"Half|20:00"})); // the first line is never a legend
}

void PeriodScriptTest::load_lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("countdown");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("CR only") << QByteArray("TimeLeft\rA\r1:00\r") << true << QStringList{"A|1:00"};
    QTest::newRow("no end on last line") << QByteArray("TimeLeft\r\nA\r\n1:00") << true << QStringList{"A|1:00"};
    QTest::newRow("keyword only") << QByteArray("TimeLeft\r\n") << true << QStringList{};
    QTest::newRow("LF only is one line") << QByteArray("TimeLeft\nA\n1:00\n") << false << QStringList{};
    QTest::newRow("time texts load unchanged") << QByteArray("TimePass\r\nA\r\n7:5\r\nB\r\n99:99\r\n") << false
                                               << QStringList{"A|7:5", "B|99:99"};
}

void PeriodScriptTest::load_lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, countdown);
    QFETCH(QStringList, rows);
    SettingsFixture f;
    loadBytes(f, bytes);
    QVERIFY(f.reports.reports.isEmpty());
    QCOMPARE(f.countdown()->isChecked(), countdown);
    QCOMPARE(f.rows(), rows);
    QCOMPARE(PeriodSetDirty, False);
}

void PeriodScriptTest::load_missingTimeLine_reportsError62()
{
    SettingsFixture f;
    loadBytes(f, "TimePass\r\nA\r\n1:00\r\nB\r\n");
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(f.reports.reports[0].number, 62);
    QCOMPARE(f.reports.reports[0].description, QString("Input past end of file"));
    QCOMPARE(f.reports.reports[0].procedure, QString("cmdLOAD_Click"));
    QCOMPARE(f.reports.reports[0].line, 80);
    QCOMPARE(f.rows().first(), QString("A|1:00")); // rows read before stay
}

void PeriodScriptTest::load_emptyFile_reportsError62AtLine71()
{
    SettingsFixture f;
    loadBytes(f, "");
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(f.reports.reports[0].number, 62);
    QCOMPARE(f.reports.reports[0].line, 71);
}

void PeriodScriptTest::load_missingFile_reportsFileNotFound_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("no such file") << "nowhere.ptm" << 53;
    QTest::newRow("no such folder") << "gone/nowhere.ptm" << 76;
    QTest::newRow("a folder") << "." << 75;
    // Neither waits for a writer nor reads without end.
    QTest::newRow("a FIFO") << "fifo" << 75;
    QTest::newRow("a device") << "/dev/zero" << 75;
    QTest::newRow("larger than any set") << "large.ptm" << 75;
    QTest::newRow("a name that is not UTF-8") << QFile::decodeName("set\xff.ptm") << 52;
    QTest::newRow("a name with U+FFFD, exactly so") << QString("exact\ufffd.ptm") << 0;
    QTest::newRow("as large as a set may be") << "largest.ptm" << 0;
}

void PeriodScriptTest::load_missingFile_reportsFileNotFound()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    QFile large(dir.filePath(name));
    if (name.contains(QChar::ReplacementCharacter))
        writeAll(QFile::encodeName(dir.path()) + "/" + (name.startsWith("exact") ? QFile::encodeName(name) : "set\xff.ptm"), Example);
    if (name.startsWith("large")) // sparse, 16 MiB: 32767 periods of two 254-character lines, and a keyword
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize((16 << 20) + (name == "large.ptm")));
    SettingsFixture f;
    f.dialogs.fileNames << (name.startsWith('/') ? name : dir.filePath(name));
    f.window->cmdLOAD_Click();
    QCOMPARE(f.reports.reports.isEmpty() ? 0 : f.reports.reports[0].number, number);
    QCOMPARE(f.reports.reports.isEmpty() ? 70 : f.reports.reports[0].line, 70);
}

void PeriodScriptTest::load_unsavedEdits_asksBeforeLosing()
{
    SettingsFixture f;
    f.add("Mine", 5, 0);
    f.dialogs.yesNo << false;
    f.window->cmdLOAD_Click();
    QCOMPARE(f.dialogs.questions, QStringList({"You lose the current set.\rContinue ?"}));
    QVERIFY(f.dialogs.fileDialogs.isEmpty());
    QCOMPARE(f.rows(), QStringList({"Mine|05:00"}));
    f.dialogs.yesNo << true;
    f.window->cmdLOAD_Click(); // Yes, then the dialog is cancelled
    QCOMPARE(f.grid()->rows(), 1);
}

void PeriodScriptTest::load_noUnsavedEdits_asksNothing()
{
    SettingsFixture f;
    f.add("Mine", 5, 0);
    savedWith(f);
    f.window->cmdLOAD_Click();
    QVERIFY(f.dialogs.questions.isEmpty());
}

void PeriodScriptTest::load_cancelledDialog_leavesGridEmpty()
{
    SettingsFixture f;
    f.add("Mine", 5, 0);
    PeriodSetDirty = False;
    f.window->cmdLOAD_Click();
    QCOMPARE(f.grid()->rows(), 1);
    QCOMPARE(PeriodSetDirty, False);
}

void PeriodScriptTest::leftovers_toldOnLoadAndSave_data()
{
    QTest::addColumn<QString>("leftover"); // what a save that did not finish left
    QTest::addColumn<bool>("saving");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("outcome"); // the rows loaded, or what the file holds
    const QString example = "1st Half|20:00 2nd Half|20:00 Overtime|Ask me";
    QTest::newRow("a copy of the old set, Load, Yes: the copy") << "copy" << false << true << "Copy|01:00";
    QTest::newRow("the new set beside the file, Load, No: the file") << "beside" << false << false << example;
    QTest::newRow("a copy of a set of that name in another folder") << "other" << false << true << example;
    QTest::newRow("a copy, Save, No: nothing saved") << "copy" << true << false << "old";
    QTest::newRow("a copy, Save, Yes: saved, the copy stays") << "copy" << true << true << "new";
}

void PeriodScriptTest::leftovers_toldOnLoadAndSave()
{
    QFETCH(QString, leftover);
    QFETCH(bool, saving);
    QFETCH(bool, yes);
    const bool asked = leftover != "other";
    QFETCH(QString, outcome);
    QVERIFY(QDir(dir.path()).mkdir("sets") && QDir(dir.path()).mkdir("other"));
    const QString path = dir.filePath("sets/set.ptm");
    writeAll(path, Example);
    const QString of = leftover == "other" ? dir.filePath("other/set.ptm") : path;
    const QString left = leftover == "beside" ? dir.filePath("sets/." + fileKey(of) + "-0000abcd.new")
                                              : oldSets + '/' + fileKey(of) + "-0000abcd.ptm";
    writeAll(left, "TimePass\r\nCopy\r\n01:00\r\n");
    SettingsFixture f;
    f.add("A", 1, 0);
    PeriodSetDirty = False;
    f.dialogs.fileNames << path;
    f.dialogs.yesNo << yes;
    if (saving)
        f.window->cmdSAVE_Click();
    else
        f.window->cmdLOAD_Click();
    QCOMPARE(f.dialogs.questions.size(), int(asked));
    QVERIFY(!asked || (f.dialogs.questions[0].contains("did not finish left a copy, written ")
                        && f.dialogs.questions[0].contains(QDir::toNativeSeparators(left))));
    QCOMPARE(saving ? QString(readAll(path)) : f.rows().join(' '),
             outcome == "old" ? QString(Example) : outcome == "new" ? QString("TimePass\r\nA\r\n01:00\r\n") : outcome);
    QCOMPARE(readAll(left), QByteArray("TimePass\r\nCopy\r\n01:00\r\n")); // it stays, whatever the answer
}

void PeriodScriptTest::everyByte_survivesLoadAndSave()
{
    QByteArray legend;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r') // the line end itself
            legend.append(char(b));
    }
    const QByteArray original = "TimePass\r\n" + legend + "\r\n10:00\r\n";
    const QString in = dir.filePath("bytes.ptm");
    writeAll(in, original);
    SettingsFixture f;
    f.dialogs.fileNames << in;
    f.window->cmdLOAD_Click();
    QCOMPARE(f.grid()->rows(), 2);
    const QString out = savedWith(f);
    QCOMPARE(readAll(out), original);
}

void PeriodScriptTest::saveFailingPartWay_keepsOldFile_data()
{
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("line");
    QTest::newRow("nothing written") << qint64(0) << 156;
    QTest::newRow("within the keyword") << qint64(4) << 156;
    QTest::newRow("within a legend") << qint64(12) << 162;
    QTest::newRow("within a time") << qint64(25) << 163;
}

void PeriodScriptTest::saveFailingPartWay_keepsOldFile()
{
    QFETCH(qint64, budget);
    QFETCH(int, line);
    const QString path = dir.filePath("keep.ptm");
    writeAll(path, Example);
    ScriptWriter::setDeviceFactory([budget](const QString &p, bool inPlace) { return device<FailingFile>(p, inPlace, budget); });
    SettingsFixture f;
    f.add("1st Quarter", 10, 0);
    f.add("2nd Quarter", 10, 0);
    f.dialogs.fileNames << path;
    f.window->cmdSAVE_Click(); // Ignore on every report
    QVERIFY(!f.reports.reports.isEmpty());
    QCOMPARE(f.reports.reports[0].number, 61);
    QCOMPARE(f.reports.reports[0].description, QString("Disk full"));
    QCOMPARE(f.reports.reports[0].line, line);
    QCOMPARE(f.reports.reports.last().line, 165); // the close refuses too
    QCOMPARE(readAll(path), Example);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.ptm"}));
}

void PeriodScriptTest::saveFailingLine_retryWritesItWhole()
{
    const QString path = dir.filePath("retry.ptm");
    qint64 budget = 14; // the keyword and half a legend
    ScriptWriter::setDeviceFactory([&budget](const QString &p, bool inPlace) { return device<FailingFile>(p, inPlace, &budget); });
    SettingsFixture f;
    f.add("First", 10, 0);
    f.dialogs.fileNames << path;
    // The disk has room again when the operator retries.
    periodix::setReportPresenter([&](const ErrorReport &report) {
        f.reports.reports << report;
        budget = 1 << 20;
        return Choice::Retry;
    });
    f.window->cmdSAVE_Click();
    QCOMPARE(f.reports.reports.size(), 1);
    QCOMPARE(readAll(path), QByteArray("TimePass\r\nFirst\r\n10:00\r\n"));
}

void PeriodScriptTest::save_readOnlyFolder_reportsPermissionDenied()
{
    static const bool refusing = true;
    ScriptWriter::setDeviceFactory([](const QString &p, bool inPlace) { return device<RefusingFile>(p, inPlace, &refusing); });
    const QString path = dir.filePath("old.ptm");
    writeAll(path, Example);
    SettingsFixture f;
    f.add("A", 1, 0);
    f.dialogs.fileNames << path;
    f.window->cmdSAVE_Click();
    QCOMPARE(f.reports.reports[0].number, 70);
    QCOMPARE(f.reports.reports[0].description, QString("Permission denied"));
    QCOMPARE(f.reports.reports[0].line, 154);
    QCOMPARE(readAll(path), Example);
}

void PeriodScriptTest::saveFailures_data()
{
    // The operation that fails: "no folder" (made once the first report
    // shows), "refused open", "line", "sync", "commit"; "lasting" when the
    // cause stays, else it is gone once the first report shows; "long name"
    // for a name with no room for QSaveFile's own temporary one; "in place"
    // in a folder that takes no new files, as nobody.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("answers"); // Abort, Retry, Ignore in turn; Ignore after them
    QTest::addColumn<QString>("reports"); // number@line, and how the save ended
    QTest::addColumn<QString>("disk");    // the new set, the old file, or no file
    // The set is one period, legend "20:00" and time 20:00: the keyword is
    // written at 156, the legend at 162, the time at 163.
    // A save that leaves the old set on disk leaves the edits unsaved (dirty).
    const QString notOpen = " 52@156 52@162 52@163 52@165 (dirty)";
    QTest::newRow("no folder, Retry") << "no folder" << "R" << "76@154 (saved)" << "new";
    QTest::newRow("no folder, Ignore: nothing written") << "no folder" << "I" << "76@154" + notOpen << "none";
    QTest::newRow("refused open, Ignore") << "refused open lasting" << "I" << "70@154" + notOpen << "old";
    QTest::newRow("refused open, Abort") << "refused open lasting" << "A" << "70@154 (aborted)" << "old";
    QTest::newRow("new long name, read-only folder") << "new long name read-only folder" << "I" << "70@154" + notOpen
                                                     << "none";
    QTest::newRow("line, Retry") << "line" << "R" << "61@162 (saved)" << "new";
    // The disk has room again when the close refuses: the report says a line
    // was skipped, not that the disk is full.
    QTest::newRow("line, Ignore: the same text next is no retry") << "line" << "I" << "61@162 75@165 (dirty)" << "old";
    QTest::newRow("line, Ignore, close Retry: all written") << "line" << "IR" << "61@162 75@165 (saved)" << "new";
    QTest::newRow("line lasting, Ignore") << "line lasting" << "I" << "61@162 61@163 75@165 (dirty)" << "old";
    QTest::newRow("line lasting, Ignore, close Retry") << "line lasting" << "IIR" << "61@162 61@163 75@165 61@165 (dirty)"
                                                       << "old";
    QTest::newRow("line, Abort") << "line lasting" << "A" << "61@162 (aborted)" << "old";
    QTest::newRow("sync, Retry") << "sync" << "R" << "57@165 (saved)" << "new";
    QTest::newRow("sync, Ignore") << "sync lasting" << "I" << "57@165 (dirty)" << "old";
    // In place, but not yet for good: the folder's sync is part of the save.
    QTest::newRow("folder sync, Ignore") << "folder sync lasting" << "I" << "57@165 (dirty)" << "new";
    QTest::newRow("commit, Retry") << "commit" << "R" << "57@165 (saved)" << "new";
    QTest::newRow("commit, Ignore") << "commit lasting" << "I" << "57@165 (dirty)" << "old";
    QTest::newRow("commit refused: written in place") << "commit refused lasting" << "I" << " (saved)" << "new";
    QTest::newRow("shared folder, another user's file: written in place") << "shared folder" << "I" << " (saved)"
                                                                           << "new";
    QTest::newRow("long name, sync, Ignore: the old file stays") << "long name sync lasting" << "I"
                                                                 << "57@165 (dirty)" << "old";
    // In a folder that takes no new files, the file itself: its old contents
    // come back whenever the save does not complete.
    QTest::newRow("in place, line, Ignore") << "in place line" << "I" << "61@162 75@165 (dirty)" << "old";
    QTest::newRow("in place, line, Ignore, close Retry") << "in place line" << "IR" << "61@162 75@165 (saved)" << "new";
    QTest::newRow("in place, line lasting, Ignore") << "in place line lasting" << "I" << "61@162 61@163 75@165 (dirty)"
                                                    << "old";
    QTest::newRow("in place, line, Abort") << "in place line lasting" << "A" << "61@162 (aborted)" << "old";
    // The old set cannot be written back either: the report says where it is
    // kept (+), and it is what the next try writes back.
    QTest::newRow("in place, line, no write-back, Retry") << "in place line no write-back" << "R" << "61@162+ (saved)"
                                                          << "new";
    QTest::newRow("in place, line, no write-back, Ignore") << "in place line no write-back" << "I"
                                                           << "61@162+ 75@165 (dirty)" << "old";
    // Nor ever after: the copy the report names stays, and no report says
    // the old file is kept.
    QTest::newRow("in place, line, no write-back lasting, Ignore") << "in place line no write-back lasting" << "I"
                                                                   << "61@162+ 61@163+ 75@165+ (dirty)" << "copy kept";
    QTest::newRow("in place, line, no write-back lasting, Abort") << "in place line no write-back lasting" << "A"
                                                                  << "61@162+ (aborted)" << "copy kept";
    QTest::newRow("shared folder, no write-back lasting: both copies stay") << "shared folder, written-in line no write-back lasting"
                                                                            << "I" << "61@165+ (dirty)" << "copy kept";
    QTest::newRow("in place, the old set's copy not synced into its folder") << "in place copy folder sync" << "I"
                                                                              << "70@154" + notOpen << "old";
    QTest::newRow("in place, no room for the old set's copy") << "in place no copy" << "I" << "70@154" + notOpen << "old";
    QTest::newRow("in place, a device Qt cannot seek") << "in place sequential" << "I" << "57@154" + notOpen << "old";
    // Killed in the middle: the file is part new, part old; the old set is
    // kept in the state folder, and in a shared folder the new one beside.
    QTest::newRow("in place, killed") << "in place killed" << "" << "" << "mixed";
    QTest::newRow("shared folder, killed") << "shared folder killed" << "" << "" << "mixed";
    // The new file keeps the old one's mode; one that cannot be read is said.
    QTest::newRow("stat failing, Retry") << "stat" << "R" << "57@154 (saved)" << "new";
    // No file removed: the refused rename is still seen for what it is.
    QTest::newRow("commit refused, no file removed: written in place") << "commit refused unlink lasting" << "I"
                                                                       << " (saved)" << "new, leftovers";
    QTest::newRow("in place beside 999 copies of the name") << "in place 999" << "I" << " (saved)" << "new";
    QTest::newRow("a name that is not UTF-8") << "not UTF-8" << "I" << "52@154" + notOpen << "old";
    QTest::newRow("a FIFO: no period set") << "fifo" << "I" << "75@154" + notOpen << "fifo";
    QTest::newRow("a link loop: not followed") << "loop" << "I" << "76@154" + notOpen << "loop";
}

void PeriodScriptTest::saveFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, answers);
    QFETCH(QString, reports);
    QFETCH(QString, disk);
    const bool lasting = fault.contains("lasting");
    const QString folder = dir.filePath(fault == "no folder" ? "later" : "sets");
    const QByteArray rawName = fault == "not UTF-8" ? "set\xff.ptm" : "set.ptm"; // as the folder holds it
    const QString name = fault.contains("long name") ? QString(251, u'n') + ".ptm" : QFile::decodeName(rawName);
    const QString path = folder + '/' + name;
    const QByteArray raw = QFile::encodeName(folder) + '/' + (fault.contains("long name") ? QFile::encodeName(name) : rawName);
    if (fault != "no folder")
        QVERIFY(QDir().mkpath(folder) && (fault.contains("new") || fault == "fifo" || fault == "loop" ||
                                           writeAll(raw, Example)));
    if (fault.contains("stat"))
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    if (fault.contains("copy folder")) // the note of the file is there already: only the copy is made
        QVERIFY(writeAll(oldSets + '/' + fileKey(path) + ".from", QFile::encodeName(path)));
    for (int n = 1; fault.contains("999") && n <= 999; ++n) // named as copies were, by the first number free
        QVERIFY(writeAll(oldSets + QString("/%1-set.ptm").arg(n), Example));
    if (fault == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (fault == "loop")
        QVERIFY(QFile::link(name, path));
    const auto readable = QFile::ReadOther | QFile::ExeOther | QFile::ReadOwner | QFile::ExeOwner;
    // The operator is nobody here, the files are root's.
    const bool asNobody = fault.contains("in place") || fault.contains("read-only") || fault.contains("shared");
    if (asNobody)
        QVERIFY(QFile::setPermissions(dir.path(), readable));
    if (fault.contains("in place") || fault.contains("read-only")) // the folder is read-only, the file is not
        QVERIFY(QFile::setPermissions(folder, readable));
    if (fault.contains("shared")) // anyone may add files, only their owner may replace them
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
    if (asNobody && !fault.contains("new"))
        QVERIFY(QFile::setPermissions(path, QFile::ReadOther | QFile::WriteOther | QFile::ReadOwner));
    if (fault.contains("no copy")) // the state folder takes no copy: nothing is written in place
        QVERIFY(QFile::setPermissions(oldSets, readable));
    const auto scenario = [&]() -> QString {
        bool refusing = fault.contains("refused open");
        qint64 budget = fault.contains("line") ? 10 : 1 << 20; // room for the keyword only
        createRefused = fault.contains("shared"); // as systemd sets fs.protected_regular
        ScriptWriter::setDeviceFactory([&](const QString &p, bool inPlace) -> std::unique_ptr<QFileDevice> {
            if (fault.contains("killed"))
                return inPlace ? std::make_unique<DyingFile>(p, 10) : device<RefusingFile>(p, inPlace, &refusing);
            if (fault.contains("sequential"))
                return device<SequentialFile>(p, inPlace);
            if (fault.contains("written-in line")) // the new set is whole beside the file
                return inPlace ? device<FailingFile>(p, inPlace, &budget) : device<RefusingFile>(p, inPlace, &refusing);
            if (fault.contains("line"))
                return device<FailingFile>(p, inPlace, &budget);
            return device<RefusingFile>(p, inPlace, &refusing);
        });
        syncFault = fault.contains("sync") || fault.contains("write-back") ? EIO : 0;
        syncsLeft = fault.contains("write-back") ? fault.contains("shared") ? 5 : 4 : fault.contains("folder") ? 1 : -1; // the old set's copy, the note of its file, their folder
        replaceFault = fault.contains("commit refused") ? EPERM : fault.contains("commit") ? EIO : 0;
        statFault = fault.startsWith("stat") ? EIO : 0;
        unlinkFault = fault.contains("unlink") ? EIO : 0;
        SettingsFixture f;
        f.add("20:00", 20, 0);
        QStringList seen;
        QString left = answers;
        periodix::setReportPresenter([&](const ErrorReport &report) {
            const bool kept = report.description.contains("A copy of the old set is kept in " + oldSets + "/");
            seen << QString("%1@%2%3").arg(report.number).arg(report.line).arg(kept ? "+" : "");
            if (!lasting) {
                QDir().mkpath(folder);
                refusing = false;
                budget = 1 << 20;
                syncFault = replaceFault = statFault = 0;
            } else if (fault.contains("line")) {
                budget = 0;
            }
            const QChar answer = left.isEmpty() ? u'I' : left.front();
            left.remove(0, 1);
            return answer == u'A' ? Choice::Abort : answer == u'R' ? Choice::Retry : Choice::Ignore;
        });
        f.dialogs.fileNames << path;
        QString ending = " (aborted)";
        try {
            f.window->cmdSAVE_Click();
            ending = PeriodSetDirty == False ? " (saved)" : " (dirty)";
        } catch (const ProgramEnded &) {
        }
        syncFault = replaceFault = statFault = unlinkFault = 0;
        return seen.join(' ') + ending;
    };
    QString outcome;
    if (asNobody) {
        const ChildResult child = inChild([&](int out) {
            say(out, becomeUnprivileged() ? qPrintable(scenario()) : "no other user");
        });
        QFile::setPermissions(folder, readable | QFile::WriteOwner);
        QFile::setPermissions(oldSets, QFileDevice::Permissions(0x7777));
        if (child.output == "no other user")
            QSKIP("no unprivileged user in this user namespace");
        outcome = child.output;
    } else {
        outcome = scenario();
    }
    QCOMPARE(outcome, reports);
    const QByteArray newSet = "TimePass\r\n20:00\r\n20:00\r\n";
    // What is left for the operator, as loading the set finds it.
    QByteArrayList left;
    for (const Leftover &leftover : leftoversOf(path))
        left << readAll(leftover.path);
    std::sort(left.begin(), left.end());
    for (const QString &kept : QDir(oldSets).entryList(QDir::Files)) // the copies and the note of their file
        QFile::remove(oldSets + '/' + kept);
    if (disk == "fifo" || disk == "loop") {
        QVERIFY(!QFileInfo(path).isFile()); // left as it was
        return;
    }
    if (disk == "mixed" || disk == "copy kept") {
        // Killed: the file is part new, part old, the old set is kept in the
        // state folder, and in a shared folder the new one beside the file.
        // A failed save whose old set could not go back keeps its copy too.
        if (disk == "mixed")
            QCOMPARE(readAll(path), newSet.left(10) + Example.mid(10));
        const QByteArrayList expected = fault.contains("shared") ? QByteArrayList{Example, newSet} : QByteArrayList{Example};
        QCOMPARE(left, expected);
        return;
    }
    if (fault.contains("stat"))
        QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser);
    if (fault != "not UTF-8") // named otherwise, and left as it was
        QCOMPARE(readAll(path), disk.startsWith("new") ? newSet : disk == "old" ? Example : QByteArray("<missing>"));
    if (disk == "new, leftovers") // what could not be removed is found
        return;
    QCOMPARE(left, QByteArrayList()); // removed once the set is whole on disk
    if (fault == "not UTF-8") { // and none named with U+FFFD made beside it
        QVERIFY(!QFileInfo::exists(path));
        return;
    }
    // No new file left behind, named or not.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), disk == "none" ? QStringList() : QStringList{name});
}

void PeriodScriptTest::save_longestName_saved()
{
    // No room beside it for a temporary file's longer name.
    const QString path = dir.filePath(QString(251, u'n') + ".ptm");
    writeAll(path, Example);
    SettingsFixture f;
    f.add("A", 1, 0);
    f.dialogs.fileNames << path;
    f.window->cmdSAVE_Click();
    QVERIFY2(f.reports.reports.isEmpty(), qPrintable(f.reports.reports.value(0).text()));
    QCOMPARE(readAll(path), QByteArray("TimePass\r\nA\r\n01:00\r\n"));
}

void PeriodScriptTest::save_throughLink_writesLinkedFileWithItsPermissions_data()
{
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QString>("targetName"); // in the shared folder
    QTest::addColumn<bool>("targetExists");
    const QString longName = QString(251, u'n') + ".ptm";
    QTest::newRow("to a shared set") << "link.ptm" << "set.ptm" << true;
    QTest::newRow("to a set with the longest name") << "link.ptm" << longName << true;
    QTest::newRow("to a set not made yet") << "link.ptm" << "set.ptm" << false;
    QTest::newRow("with the longest name, to a set not made yet") << longName << "set.ptm" << false;
}

void PeriodScriptTest::save_throughLink_writesLinkedFileWithItsPermissions()
{
    // A set kept in a shared folder and linked into the operator's own.
    QFETCH(QString, linkName);
    QFETCH(QString, targetName);
    QFETCH(bool, targetExists);
    QVERIFY(QDir(dir.path()).mkdir("shared"));
    const QString shared = dir.filePath("shared/" + targetName);
    const auto kept = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    if (targetExists) {
        writeAll(shared, Example);
        QVERIFY(QFile::setPermissions(shared, kept));
    }
    const QString link = dir.filePath(linkName);
    QVERIFY(QFile::link("shared/" + targetName, link));
    SettingsFixture f;
    f.add("A", 1, 0);
    f.dialogs.fileNames << link;
    f.window->cmdSAVE_Click();
    QVERIFY2(f.reports.reports.isEmpty(), qPrintable(f.reports.reports.value(0).text()));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(shared), QByteArray("TimePass\r\nA\r\n01:00\r\n"));
    if (targetExists)
        QCOMPARE(QFile::permissions(shared), kept | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(QDir(dir.filePath("shared")).entryList(QDir::Files | QDir::Hidden), QStringList({targetName}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList({linkName}));
}

void PeriodScriptTest::abortDuringSave_leavesNoTemporaryFile()
{
    // Abort in a report while a save is under way ends the program at once,
    // past every destructor: the unfinished new file must be let go of before
    // then. (On this file system it has no name in the folder until it is
    // complete, so what shows is the writer's file still open at the end.)
    const QString path = dir.filePath("keep.ptm");
    writeAll(path, Example);
    const auto openInFolder = [this] {
        int n = 0;
        for (const QFileInfo &fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
            n += fd.symLinkTarget().startsWith(dir.path());
        return n;
    };
    const ChildResult child = inChild([&](int out) {
        ScriptWriter file;
        file.open(path);
        file.writeLine(159, "TimeLeft");
        say(out, openInFolder() == 1 ? "writing, " : "not writing, ");
        setProgramEnder([&](int) { say(out, openInFolder() == 0 ? "let go\n" : "still open\n"); });
        endProgramNow(1);
    });
    QCOMPARE(child.output, QString("writing, let go\n"));
    QCOMPARE(child.exitCode, 1);
    QCOMPARE(readAll(path), Example);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.ptm"}));
}

QTEST_MAIN(PeriodScriptTest)
#include "period_script_test.moc"
