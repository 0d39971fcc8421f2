// The kept game as the window plays: taken up again by --resume after the
// program died; a disk that fails never stops the clock.

#include "files/durable_replace.h"
#include "files/game_keeper.h"
#include "files/kept_game_file.h"
#include "main_window_fixture.h"
#include "support/captured_stderr.h"
#include "support/failing_devices.h"
#include "support/system_call_faults.h"

#include <QtTest>


using namespace periodix;
using namespace periodix::common;

class ResumeTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { GameKeeper::setFileFactory({}); }
    void failingDisk_skippedAndTriedAgain();
    void killedAndResumed_data();
    void killedAndResumed();
};

void ResumeTest::failingDisk_skippedAndTriedAgain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("game");
    qint64 room = 1 << 20; // the disk's
    GameKeeper::setFileFactory([&](const QString &p) { return std::make_unique<FailingFile<QFile>>(p, &room); });
    QVERIFY(QFile(dir.filePath("." + fileKey(path) + "-0000dead.new")).open(QIODevice::WriteOnly)); // a crash's
    MainWindowFixture f;
    GameKeeper keeper(path);
    f.window->setGameKeeper(&keeper);
    f.loaded();
    KeptGame read;
    QString error;
    const auto keptClock = [&] {
        keeper.waitUntilWritten();
        return readKeptGame(path, read, error) ? read.clockSeconds : -1;
    };
    QCOMPARE(keptClock(), 600);

    // The disk fills up: a tick's slot is cut short, and so is every new file.
    room = 60;
    QByteArray said = stderrOf([&] {
        f.window->cmdSTART_Click();
        f.runFor(2);
        QCOMPARE(keptClock(), 600); // the other slot, still whole
        f.window->cmdPAUSE_Click();
        QCOMPARE(keptClock(), 600);
    });
    QCOMPARE(f.digits(), "09:58"); // the clock counted on, and nobody was asked
    QCOMPARE(f.reports.reports.size(), 0);
    QCOMPARE(said.count("Periodix: the game cannot be kept in " + path.toLocal8Bit()), 1); // once, however many
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"game"});

    // Room again: the next change is kept, synced as the failed pause asked.
    room = 1 << 20;
    syncs = 0;
    said = stderrOf([&] {
        f.window->cmdSTART_Click();
        f.runFor(1);
        QCOMPARE(keptClock(), 597);
    });
    syncs = 0;
    f.window->cmdPAUSE_Click();
    QCOMPARE(keptClock(), 597);
    QCOMPARE(syncs, 2); // a pause is kept whole, whatever the ticks before
    QVERIFY2(said.contains("Periodix: the game is kept again in " + path.toLocal8Bit()), said);
    QCOMPARE(syncs, 2);
}

void ResumeTest::killedAndResumed_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<int>("nexts");
    QTest::addColumn<int>("runSeconds");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<QString>("afterNext");
    QTest::newRow("countdown, counting") << CountdownTimer << 0 << 3 << "1st Half/09:57" << false << "Overtime/02:00";
    QTest::newRow("clock timer, counting") << ClockTimer << 0 << 3 << "1st Half/00:03" << false << "Overtime/00:00";
    QTest::newRow("an answered Ask me period") << CountdownTimer << 1 << 4 << "Overtime/04:56" << false
                                               << "2nd Half/10:00";
    QTest::newRow("ended") << CountdownTimer << 1 << 400 << "Overtime/00:00" << true << "2nd Half/10:00";
}

void ResumeTest::killedAndResumed()
{
    QFETCH(qint32, mode);
    QFETCH(int, nexts);
    QFETCH(int, runSeconds);
    QFETCH(QString, caption);
    QFETCH(bool, ended);
    QFETCH(QString, afterNext);
    QTemporaryDir dir;
    const QString path = dir.filePath("game");
    QString identity;
    const QList<TestPeriod> set{{"1st Half", 10, 0}, {"Overtime", 0, 0, true}, {"2nd Half", 10, 0}};
    {
        MainWindowFixture game(set, mode);
        GameKeeper keeper(path);
        game.window->setGameKeeper(&keeper);
        game.window->useHallFeed(7700);
        game.loaded();
        identity = game.window->game();
        game.dialogs.inputs << "5" << "0";
        for (int i = 0; i < nexts; ++i)
            game.window->cmdNEXTPERIOD_Click();
        game.window->cmdSTART_Click();
        game.runFor(runSeconds);
        keeper.waitUntilWritten();
    } // the program dies here: nothing else happens to the clock

    KeptGame kept;
    QString error;
    QVERIFY2(readKeptGame(path, kept, error), qPrintable(error));
    QCOMPARE(kept.hallFeedPort, 7700); // --resume turns the feed on again
    MainWindowFixture resumed({}, 0, QString()); // no settings window
    GameKeeper keeper(path);
    resumed.window->setGameKeeper(&keeper);
    resumed.window->Form_Resume(kept);
    QCOMPARE(resumed.window->windowTitle(), caption);
    QCOMPARE(resumed.window->game(), identity);
    QCOMPARE(resumed.sender.payloads(),
             QStringList{QStringLiteral("p%1t%2").arg(nexts + 1).arg(caption.section(u'/', 1))});
    QCOMPARE(resumed.sender.sent.first().host, "127.0.0.255");
    QCOMPARE(resumed.digitColour(), Red);
    QCOMPARE(resumed.endShown(), ended);
    QVERIFY(!resumed.window->Timer1().isEnabled());
    QVERIFY(!resumed.enabled("cmdSETTING"));
    QCOMPARE(resumed.reports.reports.size(), 0);

    // The game goes on from there: Next (an Ask me period asks again).
    resumed.dialogs.inputs << "2" << "0";
    resumed.window->cmdNEXTPERIOD_Click();
    QCOMPARE(resumed.window->windowTitle(), afterNext);
    keeper.waitUntilWritten(); // and is kept again
    QVERIFY2(readKeptGame(path, kept, error), qPrintable(error));
    QCOMPARE(kept.currentPeriod, nexts + 2);
}

QTEST_MAIN(ResumeTest)
#include "resume_test.moc"
