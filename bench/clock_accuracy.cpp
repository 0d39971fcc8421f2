// Runs the game clock's timer and a plain restart-on-enable timer side by side
// in real time, through the same random start/pause schedule, and compares the
// whole seconds each has counted with a stopwatch of the true running time.
//
//   clock_accuracy [running seconds, default 60] [cycles, default 45] [seed]

#include "platform/monotonic_clock.h"
#include "platform/periodic_timer.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using periodix::PeriodicTimer;
using periodix::steadyClock;

namespace {

struct Tally {
    qint64 seconds = 0;
    double worstErrorMs = 0;
};

class Stopwatch {
public:
    void start() { since_ = steadyClock().nowNs(); running_ = true; }
    void stop() { total_ += steadyClock().nowNs() - since_; running_ = false; }
    double ms() const { return (total_ + (running_ ? steadyClock().nowNs() - since_ : 0)) / 1e6; }

private:
    qint64 total_ = 0;
    qint64 since_ = 0;
    bool running_ = false;
};

void record(Tally &t, const Stopwatch &truth)
{
    t.worstErrorMs = std::max(t.worstErrorMs, std::abs(t.seconds * 1000.0 - truth.ms()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const double runningSeconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 45;
    const unsigned seed = argc > 3 ? unsigned(std::atoi(argv[3])) : 7699u;

    // Running spells of random length (so each pause falls at a random point
    // inside a second) adding up to the running time; short pauses between.
    std::mt19937 random(seed);
    std::vector<double> spells(cycles);
    double sum = 0;
    for (double &s : spells) {
        s = std::uniform_real_distribution<double>(0.2, 1.0)(random);
        sum += s;
    }
    for (double &s : spells)
        s *= runningSeconds * 1000.0 / sum;
    std::uniform_int_distribution<int> pauseMs(50, 400);

    Stopwatch truth;
    PeriodicTimer clockTimer;
    QTimer restartTimer;
    restartTimer.setInterval(1000);
    restartTimer.setTimerType(Qt::PreciseTimer);
    Tally gameClock, restart;
    qint64 worstLatenessNs = 0;

    QObject::connect(&clockTimer, &PeriodicTimer::tick, [&] {
        const qint64 due = clockTimer.nextDueNs() - qint64{clockTimer.interval()} * 1'000'000;
        worstLatenessNs = std::max(worstLatenessNs, steadyClock().nowNs() - due);
        gameClock.seconds += clockTimer.missedIntervals() + 1;
        record(gameClock, truth);
    });
    QObject::connect(&restartTimer, &QTimer::timeout, [&] {
        ++restart.seconds;
        record(restart, truth);
    });

    int cycle = 0;
    std::function<void()> startSpell = [&] {
        truth.start();
        clockTimer.setEnabled(true);
        restartTimer.start();
        QTimer::singleShot(int(spells[cycle]), Qt::PreciseTimer, [&] {
            clockTimer.pause();
            restartTimer.stop();
            truth.stop();
            if (++cycle == cycles) {
                app.quit();
                return;
            }
            QTimer::singleShot(pauseMs(random), Qt::PreciseTimer, startSpell);
        });
    };
    QTimer::singleShot(0, startSpell);
    app.exec();

    const double trueSeconds = truth.ms() / 1000.0;
    std::printf("running time %.3f s in %d start/pause cycles\n", trueSeconds, cycles);
    std::printf("clock timer:            largest error %8.1f ms, final difference %+7.3f s, worst tick lateness %.1f ms\n",
                gameClock.worstErrorMs, gameClock.seconds - trueSeconds, worstLatenessNs / 1e6);
    std::printf("restart-on-enable timer: largest error %8.1f ms, final difference %+7.3f s\n",
                restart.worstErrorMs, restart.seconds - trueSeconds);
    return 0;
}
