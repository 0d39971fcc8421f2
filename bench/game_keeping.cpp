// What keeping the game on disk costs while the clock counts: the clock window
// ticks through a countdown on a hand-driven clock (its datagrams go to
// loopback, 127.0.0.255), once without and once with the game kept, and the
// process's CPU time, the bytes written and the time a stop's sync takes are
// compared per minute of running clock. The window paints on Qt's offscreen
// platform, which stands in for the screen.
//
//   game_keeping [minutes of clock, default 10] [folder, default a temporary one]

#include "clock/common.h"
#include "files/game_keeper.h"
#include "main_window/frm_main.h"
#include "platform/monotonic_clock.h"
#include "platform/udp_sender.h"
#include "window_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

using namespace periodix;
using namespace periodix::common;

namespace {

using bench::cpuMs;
using bench::HandClock;

// Bytes handed to write() and bytes the process sent towards the disk.
std::pair<qint64, qint64> writtenBytes()
{
    QFile io(QStringLiteral("/proc/self/io"));
    qint64 wchar = 0, storage = 0;
    if (io.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : io.readAll().split('\n')) {
            if (line.startsWith("wchar: "))
                wchar = line.mid(7).toLongLong();
            if (line.startsWith("write_bytes: "))
                storage = line.mid(13).toLongLong();
        }
    }
    return {wchar, storage};
}

struct Run {
    double cpuMs = 0;
    qint64 wchar = 0, storage = 0;
};

// Ticks a countdown for `ticks` seconds of clock, a tick every 2 ms of real
// time, so that the keeper writes each change (it would keep only the newest
// of changes that come faster than it writes).
Run tick(int ticks, GameKeeper *keeper)
{
    HandClock clock;
    UdpSender sender;
    frmMAIN window(sender, bench::oneLongHalf, clock);
    window.setGameKeeper(keeper);
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();
    window.cmdSTART_Click();
    if (keeper)
        keeper->waitUntilWritten();
    const auto [wchar0, storage0] = writtenBytes();
    const double cpu0 = cpuMs();
    for (int i = 0; i < ticks; ++i) {
        clock.now += 1'000'000'000;
        window.Timer1().deliverDue();
        QCoreApplication::processEvents(); // the refresh is painted, as on the screen
        QThread::usleep(2000);
    }
    if (keeper)
        keeper->waitUntilWritten();
    Run run;
    run.cpuMs = cpuMs() - cpu0;
    const auto [wchar1, storage1] = writtenBytes();
    run.wchar = wchar1 - wchar0;
    run.storage = storage1 - storage0;
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir temporary;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    const QString path = folder + QStringLiteral("/game");
    const int ticks = minutes * 60;

    tick(60, nullptr); // warm up fonts and sockets
    const Run alone = tick(ticks, nullptr);
    GameKeeper keeper(path);
    const Run kept = tick(ticks, &keeper);

    // A stop: the pause is synced to the disk with its folder.
    QElapsedTimer syncTime;
    double worstSyncMs = 0, totalSyncMs = 0;
    constexpr int Stops = 20;
    KeptGame game;
    periodix::protocol::ClockState stopped;
    stopped.period = CurrentPeriod;
    stopped.length = PeriodSeconds;
    stopped.seconds = ClockSeconds;
    gameOnTheClock(stopped, game);
    for (int i = 0; i < Stops; ++i) {
        syncTime.start();
        keeper.keep(game, true);
        keeper.waitUntilWritten();
        const double ms = syncTime.nsecsElapsed() / 1e6;
        worstSyncMs = std::max(worstSyncMs, ms);
        totalSyncMs += ms;
    }

    // A running clock's sync: the file written in place, then its data synced.
    QFile file(path);
    double worstTickSyncMs = 0, totalTickSyncMs = 0;
    if (file.open(QIODevice::ReadWrite)) {
        const QByteArray bytes = file.readAll();
        for (int i = 0; i < Stops; ++i) {
            syncTime.start();
            file.seek(0);
            file.write(bytes);
            file.flush();
            ::fdatasync(file.handle());
            const double ms = syncTime.nsecsElapsed() / 1e6;
            worstTickSyncMs = std::max(worstTickSyncMs, ms);
            totalTickSyncMs += ms;
        }
    }
    const double perMinute = 1.0 / minutes;
    std::printf("%d minutes of counting clock, the game kept in %s\n", minutes, qPrintable(folder));
    std::printf("clock alone:       CPU %.1f ms a minute\n", alone.cpuMs * perMinute);
    std::printf("clock, game kept:  CPU %.1f ms a minute (keeping: %.1f ms a minute, %.0f us a change)\n",
                kept.cpuMs * perMinute, (kept.cpuMs - alone.cpuMs) * perMinute,
                (kept.cpuMs - alone.cpuMs) * 1000 / ticks);
    std::printf("keeping writes:    60 writes in place a minute, %.1f KiB handed to the kernel a minute, %.1f KiB "
                "a minute of new data for the disk; while counting, a data sync every five seconds of real time "
                "(12 a minute, not in this compressed run)\n",
                (kept.wchar - alone.wchar) * perMinute / 1024, (kept.storage - alone.storage) * perMinute / 1024);
    std::printf("a stop's sync:     %.2f ms on average, at most %.2f ms (%d stops, on the keeper's thread)\n",
                totalSyncMs / Stops, worstSyncMs, Stops);
    std::printf("a tick's sync:     %.2f ms on average, at most %.2f ms (%d, on the keeper's thread)\n",
                totalTickSyncMs / Stops, worstTickSyncMs, Stops);
    std::printf("failures: %d\n", keeper.failures());
    return keeper.failures() == 0 ? 0 : 1;
}
