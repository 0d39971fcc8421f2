// The tenths a companion shows in the last minute of a countdown, against the
// clock's own time. A sender with the clock's own timer counts down and sends
// the clock's datagrams on loopback; a receiver thread runs the companions'
// logic on them and reads what it would show every millisecond. For each
// tenth, the moment it first shows against the moment the sender's clock
// reached it; and every reading that showed less time left than the sender's
// clock had (a tenth ahead of the clock).
//
//   tenths_accuracy [seconds counted down, default 20, at most 59]

#include "feed/clock_feed.h"
#include "platform/monotonic_clock.h"
#include "platform/periodic_timer.h"
#include "protocol/clock_datagram.h"
#include "protocol/time_text.h"

#include <QCoreApplication>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Sent {
    double atMs; // on the monotonic clock
    int seconds;
};

double nowMs()
{
    return double(periodix::steadyClock().nowNs()) / 1e6;
}

QByteArray datagram(int seconds)
{
    return periodix::protocol::clockDatagram(1, periodix::protocol::timeText(seconds));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int from = std::clamp(argc > 1 ? std::atoi(argv[1]) : 20, 2, 59);

    std::mutex mutex;
    std::vector<Sent> sent; // what the clock sent, and when
    std::vector<double> errorsMs;
    long long readings = 0;
    long long ahead = 0;
    std::atomic<bool> done = false;
    std::atomic<quint16> port = 0;

    std::thread companion([&] {
        QUdpSocket socket;
        socket.bind(QHostAddress::LocalHost, 0);
        port = socket.localPort();
        periodix::feed::ClockFeed feed;
        qint64 shown = -1;
        while (!done) {
            socket.waitForReadyRead(1);
            while (socket.hasPendingDatagrams()) {
                QByteArray bytes(int(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(bytes.data(), bytes.size());
                feed.receive(bytes, QStringLiteral("127.0.0.1"), qint64(nowMs()));
            }
            const double now = nowMs();
            const QString tenths = feed.state(qint64(now)).tenths;
            if (tenths.isEmpty())
                continue;
            const qint64 value = qint64(tenths.toDouble() * 1000 + 0.5); // ms left as shown
            const std::lock_guard lock(mutex);
            // The sender's clock now: its last second, less the time since.
            auto last = std::find_if(sent.rbegin(), sent.rend(), [now](const Sent &s) { return s.atMs <= now; });
            if (last == sent.rend())
                continue;
            const double left = last->seconds * 1000.0 - std::min(now - last->atMs, 1000.0);
            ++readings;
            ahead += double(value) < left;
            if (value != shown && value < shown) {
                // When the sender's clock reached this tenth.
                const int second = int(value / 1000) + 1;
                auto tick = std::find_if(sent.begin(), sent.end(), [second](const Sent &s) { return s.seconds == second; });
                if (tick != sent.end())
                    errorsMs.push_back(now - (tick->atMs + double(second) * 1000.0 - double(value)));
            }
            shown = value;
        }
    });
    while (port == 0)
        std::this_thread::yield();

    // The clock: stopped at the start of the countdown, then started.
    QUdpSocket sender;
    int seconds = from;
    const auto send = [&] {
        const std::lock_guard lock(mutex);
        sent.push_back({nowMs(), seconds});
        sender.writeDatagram(datagram(seconds), QHostAddress::LocalHost, port);
    };
    send();
    periodix::PeriodicTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &periodix::PeriodicTimer::tick, [&] {
        seconds = std::max(0, seconds - 1 - int(timer.missedIntervals()));
        send();
        if (seconds == 0) {
            timer.setEnabled(false);
            QTimer::singleShot(1500, &app, &QCoreApplication::quit);
        }
    });
    QTimer::singleShot(300, [&] { timer.setEnabled(true); });
    app.exec();
    done = true;
    companion.join();

    std::sort(errorsMs.begin(), errorsMs.end());
    const auto at = [&](double q) { return errorsMs.empty() ? 0.0 : errorsMs[size_t(q * double(errorsMs.size() - 1))]; };
    std::printf("countdown of %d s on loopback: %zu tenths, %lld readings\n", from, errorsMs.size(), readings);
    std::printf("a tenth shown after the clock reached it: p50 %.2f ms, p99 %.2f ms, max %.2f ms, min %.2f ms\n",
                at(0.5), at(0.99), errorsMs.empty() ? 0.0 : errorsMs.back(), errorsMs.empty() ? 0.0 : errorsMs.front());
    std::printf("readings ahead of the clock: %lld\n", ahead);
    return ahead == 0 ? 0 : 1;
}
