// Compressed games replayed in virtual time through the companions' own
// logic, with and without the hall feed, on networks that lose, delay and
// stall datagrams. Periodix itself plays each game: its clock window, on a
// hand-driven monotonic clock, driven as the operator drives it (starts,
// time-outs, corrections, two -1 presses close together, pauses at 00:01 and
// 00:02, ends, S S after an end, the next period); what it sends goes through
// the network to a ClockFeed, whose state is read every 50 ms and held
// against the state the window made of its own clock.
//
// A reading is wrong when no moment of the clock in the 0.3 s before it had
// the same state and period, or none in the 1.3 s before it the same digits
// (a datagram is a few milliseconds on its way; a companion shows a second
// once its datagram came). A horn is one more end counted; it matches an end
// of the clock within 3 s after it, else it is false; an end it never
// matched is missed. The longest wrong stretch leaves out those that touch a
// stall (and the 1.5 s after one).
//
//   feed_replay [games, default 20] [seed, default 1]
// With REPLAY_SHOW set it names each wrong stretch and each false horn; with
// REPLAY_TRACE=MS, REPLAY_GAME=N, REPLAY_NET=NAME (and REPLAY_FEED set for the
// feed's replay) it prints what reached the companion around that moment.

#include "clock/common.h"
#include "feed/clock_feed.h"
#include "main_window/frm_main.h"
#include "main_window/hall_feed_sender.h"
#include "protocol/clock_state.h"
#include "protocol/ports.h"
#include "protocol/time_text.h"
#include "window_bench.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using periodix::feed::ClockFeed;
using periodix::feed::FeedState;
using periodix::protocol::ClockState;
using Truth = ClockState::Run;

struct Shown {
    qint64 atMs;
    Truth state;
    int period;
    QString time;
};

struct Datagram {
    qint64 atMs;
    bool feed;
    QByteArray bytes;
};

// What the window sends, with the virtual moment it went.
class RecordingSender final : public periodix::DatagramSender {
public:
    explicit RecordingSender(const bench::HandClock &clock) : clock_(clock), originNs_(clock.now) {}
    QString localIP() const override { return QStringLiteral("127.0.0.1"); }
    qint64 nowMs() const { return (clock_.now - originNs_) / 1'000'000; }
    std::vector<Datagram> sent;

protected:
    void transmit(quint32, quint16 port, const QByteArray &payload) override
    {
        sent.push_back({nowMs(), port == periodix::protocol::HallFeedPort, payload});
    }

private:
    const bench::HandClock &clock_;
    const qint64 originNs_;
};

// One game as Periodix played it.
struct Played {
    QList<int> lengths;
    qint64 lastMs = 0;
    std::vector<Shown> history; // every state the window made
    std::vector<Datagram> sent;
    std::vector<qint64> ends;   // each time a counting clock reached its period's end
};

// Periodix's clock window with its hall feed, and the operator at its keys,
// on a virtual millisecond clock.
class Clock {
public:
    Clock(QList<int> lengths, bool countdown)
        : sender_(hand_), window_(sender_, [lengths, countdown](periodix::frmMAIN &) {
              using namespace periodix::common;
              PeriodTable.redim(qint16(lengths.size()));
              for (int i = 0; i < lengths.size(); ++i)
                  PeriodTable(qint16(i + 1)) = PeriodRecord{QStringLiteral("Period %1").arg(i + 1), periodix::False,
                                                            qint16(lengths[i] / 60), qint16(lengths[i] % 60)};
              PeriodCount = qint16(lengths.size());
              CurrentPeriod = 1;
              TimerMode = countdown ? CountdownTimer : ClockTimer;
              BroadcastAddress = QStringLiteral("127.0.0.255");
          }, hand_)
    {
        played_.lengths = std::move(lengths);
        window_.useHallFeed(periodix::protocol::HallFeedPort);
        QObject::connect(&window_, &periodix::frmMAIN::changed, [this](const ClockState &state) {
            const Truth before = played_.history.empty() ? Truth::Stopped : played_.history.back().state;
            if (before == Truth::Running && state.run == Truth::Ended)
                played_.ends.push_back(now());
            played_.history.push_back({now(), state.run, state.period, periodix::protocol::timeText(state.seconds)});
        });
        window_.Form_Load();
    }

    // Ticks, the feed's repeats and its echoes of a change in the order they fall.
    void advanceTo(qint64 ms)
    {
        const qint64 target = hand_.now + (ms - now()) * 1'000'000;
        periodix::PeriodicTimer *timers[] = {&window_.Timer1(), &window_.hallFeed()->echoes(),
                                             &window_.hallFeed()->repeats()};
        for (;;) {
            qint64 next = target + 1;
            for (periodix::PeriodicTimer *timer : timers) {
                if (timer->isEnabled())
                    next = std::min(next, timer->nextDueNs());
            }
            if (next > target)
                break;
            hand_.now = next;
            for (periodix::PeriodicTimer *timer : timers)
                timer->deliverDue();
        }
        hand_.now = target;
    }
    void start() { window_.cmdSTART_Click(); }
    void pause() { window_.cmdPAUSE_Click(); }
    void key() { window_.Form_KeyDown(Qt::Key_S, {}); }
    void correct(int change)
    {
        if (change == -1)
            window_.cmd1DW_Click();
        else if (change == 1)
            window_.cmd1UP_Click();
        else
            window_.cmd10DW_Click();
    }
    void next() { window_.cmdNEXTPERIOD_Click(); }

    int secondsLeft() const
    {
        const ClockState state = window_.clockState();
        return state.countdown ? state.seconds : state.length - state.seconds;
    }
    bool running() const { return window_.clockState().run == Truth::Running; }
    bool ended() const { return window_.clockState().run == Truth::Ended; }
    Played result()
    {
        played_.lastMs = now();
        played_.sent = std::move(sender_.sent);
        return std::move(played_);
    }

private:
    qint64 now() const { return sender_.nowMs(); }

    bench::HandClock hand_;
    RecordingSender sender_;
    periodix::frmMAIN window_;
    Played played_;
};

// One game as an operator plays it: ends of period, time-outs, corrections.
Played playGame(std::mt19937 &random, bool countdown)
{
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    QList<int> lengths;
    for (int i = 0; i < 4; ++i)
        lengths << between(80, 140);
    lengths << 45; // overtime
    Clock clock(lengths, countdown);
    qint64 t = 0;
    const auto wait = [&](int lowMs, int highMs) {
        t += between(lowMs, highMs);
        clock.advanceTo(t);
    };
    for (int period = 1; period <= 5; ++period) {
        wait(2000, 5000);
        clock.start();
        bool nearEndPaused = false;
        while (!clock.ended()) {
            // The next thing the operator does, unless the period ends first.
            const qint64 next = t + between(8000, 30000);
            while (t < next && !clock.ended()) {
                wait(50, 50);
                const int left = clock.secondsLeft();
                if (!nearEndPaused && (left == 1 || left == 2) && clock.running() && chance(0.15)) {
                    nearEndPaused = true; // a time-out with one or two seconds left
                    wait(100, 900);
                    clock.pause();
                    wait(5000, 20000);
                    clock.start();
                }
            }
            if (clock.ended() || clock.secondsLeft() < 4)
                continue;
            const int what = between(0, 9);
            if (what < 5) { // a time-out
                clock.pause();
                wait(5000, 25000);
            } else if (what < 7) { // a correction, then the clock started again
                clock.correct(chance(0.5) ? -1 : (chance(0.5) ? 1 : -10));
                wait(1000, 4000);
            } else if (what < 8) { // two -1 presses close together
                clock.pause();
                wait(1000, 3000);
                clock.correct(-1);
                wait(300, 900);
                clock.correct(-1);
                wait(1000, 3000);
            } else {
                continue;
            }
            clock.start();
        }
        wait(2000, 6000);
        if (chance(0.2)) { // E N D, S, S
            clock.key();
            wait(500, 1500);
            clock.key();
            wait(1500, 3000);
        }
        if (period < 5)
            clock.next();
        wait(8000, 15000);
    }
    return clock.result();
}

struct Network {
    const char *name;
    double loss;
    int jitterMs;
    bool stalls;
};

struct Arrival {
    qint64 atMs;
    qsizetype order;
    const Datagram *datagram;
};

struct Result {
    double wrongSeconds = 0;
    double playedSeconds = 0;
    double longestWrong = 0;
    double longestChange = 0;
    int ends = 0;
    int missed = 0;
    int falseHorns = 0;
};

bool matches(const FeedState &s, const Shown &truth)
{
    using Status = FeedState::Status;
    static const Status states[] = {Status::Running, Status::Paused, Status::Stopped, Status::Ended}; // by Truth
    return s.status == states[int(truth.state)] && s.period == truth.period;
}

void replay(const Played &clock, const Network &network, bool withFeed, std::mt19937 &random, qint64 offsetMs, Result &r,
            int game)
{
    std::uniform_real_distribution<double> unit(0, 1);
    const qint64 lastMs = clock.lastMs;
    // Stalls: the network holds everything for 0.5 to 2 s, now and then.
    std::vector<std::pair<qint64, qint64>> stalls;
    for (qint64 t = 20'000; network.stalls && t < lastMs; t += 30'000 + qint64(unit(random) * 60'000)) {
        stalls.push_back({t, t + 500 + qint64(unit(random) * 1500)});
    }
    std::vector<Arrival> arrivals;
    for (const Datagram &d : clock.sent) {
        if ((d.feed && !withFeed) || unit(random) < network.loss)
            continue;
        qint64 at = d.atMs + 1 + qint64(unit(random) * network.jitterMs);
        for (const auto &[from, to] : stalls) {
            if (at >= from && at < to)
                at = to; // a held queue comes out in its order
        }
        arrivals.push_back({at, qsizetype(arrivals.size()), &d});
    }
    std::sort(arrivals.begin(), arrivals.end(),
              [](const Arrival &a, const Arrival &b) { return a.atMs != b.atMs ? a.atMs < b.atMs : a.order < b.order; });
    // The companion has the operator's period set (--set): the ends of a
    // count-up are known from the datagrams too.
    periodix::feed::FeedSettings settings;
    for (int length : clock.lengths)
        settings.set.periods.append({QString(), length});
    ClockFeed feed(settings);
    const QString sender = QStringLiteral("192.0.2.10:40000");
    const std::vector<Shown> &history = clock.history;
    std::vector<qint64> horns;
    std::vector<std::pair<qint64, FeedState>> samples;
    int endsSeen = 0;
    qsizetype next = 0;
    double wrongRun = 0;
    bool runTouchesStall = false;
    // Within 1.5 s of a stall, before or after it.
    const auto inStall = [&](qint64 t) {
        return std::any_of(stalls.begin(), stalls.end(),
                           [t](const auto &s) { return t + 1500 >= s.first && t < s.second + 1500; });
    };
    for (qint64 t = 1000; t <= lastMs; t += 50) {
        while (next < qsizetype(arrivals.size()) && arrivals[next].atMs <= t) {
            const Datagram &d = *arrivals[next].datagram;
            if (const char *trace = std::getenv("REPLAY_TRACE"); trace && withFeed == bool(std::getenv("REPLAY_FEED"))
                && QByteArray(network.name).startsWith(qgetenv("REPLAY_NET"))
                && game == qEnvironmentVariableIntValue("REPLAY_GAME") && std::abs(arrivals[next].atMs - std::atoll(trace)) < 4000)
                std::printf("    %lld (sent %lld) %s -> ends %d\n", arrivals[next].atMs, d.atMs, d.bytes.left(80).constData(),
                            feed.state(offsetMs + arrivals[next].atMs).ends);
            if (d.feed)
                feed.receiveFeed(d.bytes, sender, offsetMs + arrivals[next].atMs);
            else
                feed.receive(d.bytes, sender, offsetMs + arrivals[next].atMs);
            ++next;
        }
        const FeedState s = feed.state(offsetMs + t);
        samples.push_back({t, s});
        if (s.ends > endsSeen)
            horns.push_back(t);
        endsSeen = std::max(endsSeen, s.ends);
        // The clock's moments from 1.3 s before to now, newest first: each
        // one held until the next began.
        const auto last = std::upper_bound(history.begin(), history.end(), t,
                                           [](qint64 at, const Shown &h) { return at < h.atMs; });
        bool stateRight = false;
        bool timeRight = false;
        qint64 heldUntil = t + 1;
        bool started = false; // a clock datagram tells of a start only with the first tick
        for (auto it = last; it != history.begin() && heldUntil > t - 1300;) {
            --it;
            stateRight = stateRight || (heldUntil > t - (started ? 1300 : 300) && matches(s, *it));
            timeRight = timeRight || it->time == s.time;
            started = it->state == Truth::Running && it->time == (it == history.begin() ? QString() : (it - 1)->time);
            heldUntil = it->atMs;
        }
        const bool wrong = !stateRight || !timeRight;
        r.playedSeconds += 0.05;
        if (wrong && wrongRun == 0 && std::getenv("REPLAY_SHOW"))
            std::printf("  wrong from %lld (clock: %d %d %s): shown %s %d %s\n", t, int((last - 1)->state),
                        (last - 1)->period, qPrintable((last - 1)->time), qPrintable(periodix::feed::statusName(s.status)),
                        s.period, qPrintable(s.time));
        if (wrong) {
            r.wrongSeconds += 0.05;
            wrongRun += 0.05;
            runTouchesStall = runTouchesStall || inStall(t);
        } else {
            if (wrongRun > 0.45 && std::getenv("REPLAY_SHOW"))
                std::printf("  wrong %.2f s until %lld (clock: %d %s): shown %s %d %s\n", wrongRun, t,
                            int((last - 1)->state), qPrintable((last - 1)->time),
                            qPrintable(periodix::feed::statusName(feed.state(offsetMs + t - 100).status)),
                            feed.state(offsetMs + t - 100).period, qPrintable(feed.state(offsetMs + t - 100).time));
            if (!runTouchesStall)
                r.longestWrong = std::max(r.longestWrong, wrongRun);
            wrongRun = 0;
            runTouchesStall = false;
        }
    }
    // How long each change of state or period took to show, stalls aside:
    // until the first reading with the new state and period, or with a later
    // change's.
    for (std::size_t i = 1; i < history.size(); ++i) {
        const Shown &change = history[i];
        if (change.state == history[i - 1].state && change.period == history[i - 1].period)
            continue; // a tick, or a correction of a stopped clock
        const qint64 until = i + 1 < history.size() ? history[i + 1].atMs : lastMs;
        if (inStall(change.atMs) || change.atMs < 1000)
            continue;
        auto sample = std::lower_bound(samples.begin(), samples.end(), change.atMs,
                                       [](const auto &one, qint64 at) { return one.first < at; });
        while (sample != samples.end() && sample->first < until && !matches(sample->second, change))
            ++sample;
        if (sample != samples.end())
            r.longestChange = std::max(r.longestChange, double(sample->first - change.atMs) / 1000);
    }
    // Each end of the clock takes the first horn within 3 s after it.
    std::vector<bool> used(horns.size());
    for (qint64 end : clock.ends) {
        ++r.ends;
        bool found = false;
        for (std::size_t i = 0; i < horns.size() && !found; ++i) {
            if (!used[i] && horns[i] >= end && horns[i] <= end + 3000)
                used[i] = found = true;
        }
        r.missed += found ? 0 : 1;
    }
    r.falseHorns += int(std::count(used.begin(), used.end(), false));
    for (std::size_t i = 0; i < horns.size() && std::getenv("REPLAY_SHOW"); ++i) {
        if (!used[i])
            std::printf("  a false horn in game %d at %lld (horns %s); ends at %s\n", game, horns[i], [&] {
                QStringList e;
                for (qint64 h : horns)
                    if (std::abs(h - horns[i]) < 20000) e << QString::number(h);
                return e.join(' ').toStdString();
            }().c_str(), [&] {
                QStringList e;
                for (qint64 end : clock.ends)
                    if (std::abs(end - horns[i]) < 20000) e << QString::number(end);
                return e.join(' ').toStdString();
            }().c_str());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int games = argc > 1 ? std::atoi(argv[1]) : 20;
    const unsigned seed = argc > 2 ? unsigned(std::atoi(argv[2])) : 1;
    const Network networks[] = {
        {"clean", 0, 0, false},
        {"jitter only (0-40 ms)", 0, 40, false},
        {"0 % loss, jitter, stalls", 0, 40, true},
        {"3 % loss, jitter, stalls", 0.03, 40, true},
        {"20 % loss, jitter, stalls", 0.20, 40, true},
    };
    std::mt19937 gameRandom(seed);
    std::vector<Played> played;
    for (int g = 0; g < games; ++g)
        played.push_back(playGame(gameRandom, g % 5 != 4)); // one game in five counts up
    std::printf("%d games, seed %u\n\n", games, seed);
    std::printf("| network | source | wrong state | longest wrong | slowest change shown | horns missed | false horns |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Network &network : networks) {
        for (const bool withFeed : {false, true}) {
            Result r;
            std::mt19937 netRandom(seed * 7919u + 17u);
            for (std::size_t g = 0; g < played.size(); ++g)
                replay(played[g], network, withFeed, netRandom, 1'000'000, r, int(g));
            std::printf("| %s | %s | %.1f s of %.0f s (%.2f %%) | %.2f s | %.2f s | %d of %d | %d |\n", network.name,
                        withFeed ? "hall feed" : "clock datagrams", r.wrongSeconds, r.playedSeconds,
                        100 * r.wrongSeconds / r.playedSeconds, r.longestWrong, r.longestChange, r.missed, r.ends,
                        r.falseHorns);
        }
    }
    return 0;
}
