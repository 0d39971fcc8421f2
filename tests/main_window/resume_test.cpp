// The kept game: written as the window plays, read back after the program
// died, and taken up again by --resume; damaged and foreign files refused; a
// disk that fails never stops the clock.

#include "files/durable_replace.h"
#include "files/game_keeper.h"
#include "files/kept_game_file.h"
#include "files/game_lock.h"
#include "main_window_fixture.h"
#include "support/captured_stderr.h"
#include "support/failing_devices.h"
#include "support/system_call_faults.h"

#include <QtTest>

#include <sys/stat.h>


using namespace periodix;
using namespace periodix::common;

namespace {

KeptGame sample()
{
    KeptGame g;
    g.periods = {{"1st Half", False, 20, 0}, {"Overtime", True, 5, 0}, {"Shoot-out", True, -1, -1}};
    g.timerMode = CountdownTimer;
    g.broadcastAddress = "198.51.100.255"; // only written and read: nothing is sent
    g.currentPeriod = 2;
    g.periodSeconds = 300;
    g.clockSeconds = 163;
    g.written = QDateTime(QDate(2026, 12, 7), QTime(21, 4, 5, 678), Qt::UTC);
    return g;
}

} // namespace

class ResumeTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { GameKeeper::setFileFactory({}); }
    void keptGame_readBack_data();
    void keptGame_readBack();
    void keptGame_refused_data();
    void keptGame_refused();
    void failingDisk_skippedAndTriedAgain();
    void gameLock_data();
    void gameLock();
    void killedAndResumed_data();
    void killedAndResumed();
};

void ResumeTest::keptGame_readBack_data()
{
    QTest::addColumn<KeptGame>("game");
    KeptGame g = sample();
    QTest::newRow("countdown, an Ask me period answered, one not yet") << g; // the rest: killedAndResumed
    g.timerMode = ClockTimer;
    g.ended = true;
    g.currentPeriod = 1;
    g.clockSeconds = 32767;
    g.periodSeconds = 32767;
    g.periods[0] = {"546:07", False, 546, 7};
    g.game = "9f2c0a1b2c3d4e5f";
    g.hallFeedPort = 65535;
    QTest::newRow("limits, a game with the hall feed") << g;
    g.periods[0] = {"-546:-08", False, -546, -8};
    g.clockSeconds = g.periodSeconds = -32768;
    QTest::newRow("the shortest length") << g;
    g.periods = {{QString(), False, 0, 0}, {QStringLiteral(" a%b c\nd\x7f\u00e9\u20ac "), False, 1, 2}};
    g.broadcastAddress = "0.0.0.255";
    g.periodSeconds = g.clockSeconds = 0;
    QTest::newRow("empty legend, spaces, line ends and code page characters") << g;
}

void ResumeTest::keptGame_readBack()
{
    QFETCH(KeptGame, game);
    QTemporaryDir dir;
    const QString path = dir.filePath("state/periodix/game");
    syncs = 0;
    {
        GameKeeper keeper(path);
        keeper.keep(game, true);
        keeper.waitUntilWritten();
        QCOMPARE(keeper.failures(), 0);
    }
    QCOMPARE(syncs, 4); // the file before it takes the old one's place, the folder after, and each folder made, in its parent
    KeptGame read;
    QString error;
    QVERIFY2(readKeptGame(path, read, error), qPrintable(error));
    QCOMPARE(read, game);
    QCOMPARE(QDir(dir.filePath("state/periodix")).entryList(QDir::Files | QDir::Hidden), QStringList{"game"});
}

void ResumeTest::keptGame_refused_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
    QTest::addColumn<QString>("message");
    const QByteArray good = encodeKeptGame(sample());
    auto replaced = [&](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
    // A game Periodix could not have made, written whole with its checks.
    const auto made = [](const std::function<void(KeptGame &)> &change) {
        KeptGame g = sample();
        change(g);
        return encodeKeptGame(g);
    };
    QTest::newRow("nothing kept") << QByteArray() << "no game is kept";
    QTest::newRow("a FIFO: refused at once") << QByteArray("<fifo>") << "not a regular file";
    QTest::newRow("another version") << replaced("game 2\n", "game 3\n") << "another version";
    QTest::newRow("a Period Script file") << QByteArray("TimeLeft\r\n1st Half\r\n20:00\r\n") << "not a game kept";
    QTest::newRow("cut short") << good.left(good.lastIndexOf("set ")) << "line 11: ends before \"set\"";
    QTest::newRow("cut inside the last line") << good.chopped(1) << "line 12: cut short";
    QTest::newRow("CR LF line ends") << QByteArray(good).replace("\n", "\r\n") << "line 1: damaged";
    QTest::newRow("a line too many") << good + "set 0 1 0 x\n" << "line 13: a line after the check";
    QTest::newRow("a changed legend") << replaced("Overtime", "Overtimf") << "line 12: the check sum";
    // Each tick writes one slot over: one slot whole is enough, none is not.
    QTest::newRow("a digit of the clock changed in both slots") << replaced(" 163 ", " 143 ") << "line 2: neither slot";
    QTest::newRow("the time written changed in both slots") << replaced("2026-12-07", "2031-12-07") << "line 2: neither";
    QTest::newRow("no such timer") << made([](KeptGame &g) { g.timerMode = 3; }) << "line 4: \"3\" is no number from 1 to 2";
    QTest::newRow("no broadcast address") << made([](KeptGame &g) { g.broadcastAddress = "198.51.100.1"; }) << "line 5";
    QTest::newRow("period past the set") << made([](KeptGame &g) { g.currentPeriod = 4; }) << "line 6: \"4\"";
    QTest::newRow("period 0") << made([](KeptGame &g) { g.currentPeriod = 0; }) << "line 6: \"0\"";
    QTest::newRow("another period's length") << made([](KeptGame &g) { g.periodSeconds = 1200; }) << "line 7";
    QTest::newRow("clock past the period's length") << made([](KeptGame &g) { g.clockSeconds = 301; }) << "line 3";
    QTest::newRow("clock below 0") << made([](KeptGame &g) { g.clockSeconds = -1; }) << "line 3";
    QTest::newRow("clock past a period of no length")
        << made([](KeptGame &g) { g.periods[1] = {"Overtime", True, 0, 0}, g.periodSeconds = 0, g.clockSeconds = 1; }) << "line 3";
    QTest::newRow("a period's line short of a field") << replaced("set -1 5 0 Overtime", "set -1 5 0") << "line 10: \"set ASKME";
    QTest::newRow("Ask me flag") << made([](KeptGame &g) { g.periods[1].AskMe = 1; }) << "line 10";
    QTest::newRow("legend outside the code page") << made([](KeptGame &g) { g.periods[1].Legend = u"\u03a9"_qs; })
                                                  << "line 10: a legend";
    QTest::newRow("the hall feed on port 0")
        << replaced("ended no\n", "ended no\ngame 9f2c0a1b2c3d4e5f\nhall feed 0\n") << "line 10: \"0\" is no number from 1";
    QTest::newRow("a game's identity cut short") << replaced("ended no\n", "ended no\ngame 9f2c0a1b2c3d4e5\n")
                                                 << "line 9: \"9f2c0a1b2c3d4e5\" is no game";
}

void ResumeTest::keptGame_refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath("game");
    if (bytes == "<fifo>")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (!bytes.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    KeptGame read;
    QString error;
    QVERIFY(!readKeptGame(path, read, error));
    QVERIFY2(error.startsWith(path) && error.contains(message), qPrintable(error));
}

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

void ResumeTest::gameLock_data()
{
    QTest::addColumn<QString>("before"); // what is at the lock's place
    QTest::addColumn<int>("result");     // GameLock::Result
    QTest::addColumn<QString>("why");
    const int held = int(GameLock::Result::Held);
    const int cannot = int(GameLock::Result::CannotBeMade);
    QTest::newRow("nothing") << "" << held << "";
    QTest::newRow("another Periodix holds it") << "held" << int(GameLock::Result::HeldByOther)
                                                << QString("process %1").arg(QCoreApplication::applicationPid());
    QTest::newRow("left empty by a Periodix killed as it started") << "empty" << held << "";
    QTest::newRow("no state folder can be made") << "no folder" << cannot << "Not a directory";
    QTest::newRow("a FIFO") << "fifo" << cannot << "not a regular file";
}

void ResumeTest::gameLock()
{
    QFETCH(QString, before);
    QFETCH(int, result);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QString path = dir.filePath("periodix/game");
    QVERIFY(QDir(dir.path()).mkdir("periodix"));
    GameLock first(path);
    QString said;
    if (before == "held")
        QCOMPARE(first.tryLock(said), GameLock::Result::Held);
    if (before == "empty")
        QVERIFY(QFile(path + ".lock").open(QIODevice::WriteOnly));
    if (before == "no folder") { // the state folder's parent is a file
        QVERIFY(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
        path = dir.filePath("file/periodix/game");
    }
    if (before == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path + ".lock").constData(), 0600), 0);
    GameLock second(path);
    said.clear();
    QCOMPARE(int(second.tryLock(said)), result);
    QCOMPARE(said, why);
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
