// The kept game's file: written by its keeper and read back, damaged and
// foreign files refused, and the lock that gives it to one Periodix.

#include "files/durable_replace.h"
#include "files/game_keeper.h"
#include "files/game_lock.h"
#include "files/kept_game_file.h"
#include "support/system_call_faults.h"

#include <QtTest>

#include <functional>
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

class KeptGameTest : public QObject {
    Q_OBJECT
private slots:
    void keptGame_readBack_data();
    void keptGame_readBack();
    void keptGame_refused_data();
    void keptGame_refused();
    void gameLock_data();
    void gameLock();
};

void KeptGameTest::keptGame_readBack_data()
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

void KeptGameTest::keptGame_readBack()
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

void KeptGameTest::keptGame_refused_data()
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

void KeptGameTest::keptGame_refused()
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

void KeptGameTest::gameLock_data()
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

void KeptGameTest::gameLock()
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

QTEST_MAIN(KeptGameTest)
#include "kept_game_test.moc"
