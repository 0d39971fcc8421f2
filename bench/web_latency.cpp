// periodix-web under load on loopback: 64 browsers (test clients) connected
// to its live updates (as through a proxy on this machine, each its own
// client), clock datagrams sent to it on 127.0.0.1, and the time
// from each datagram to each browser's message. Also its CPU time and memory
// while a clock runs (one datagram a second), under a burst of datagrams one
// after the other, and under a flood sent all at once, after which every
// browser (each reading) must hear the last state and none be dropped.
//
//   web_latency PERIODIX-WEB [burst datagrams, default 500] [clock seconds, default 10] [browsers, default 64]

#include "protocol/clock_datagram.h"
#include "protocol/time_text.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkRequest>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

int Browsers = 64;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Spins the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// User and system CPU time of the process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// A line of /proc/PID/status in MiB (VmRSS, VmHWM).
double memoryMiB(qint64 pid, const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PERIODIX-WEB [burst datagrams] [clock seconds]\n", argv[0]);
        return 2;
    }
    const int burst = argc > 2 ? std::atoi(argv[2]) : 500;
    const int clockSeconds = argc > 3 ? std::atoi(argv[3]) : 10;
    Browsers = argc > 4 ? std::max(1, std::atoi(argv[4])) : 64;
    const quint16 udpPort = freePort();
    const quint16 httpPort = freePort();

    QProcess web;
    web.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    web.start(QString::fromLocal8Bit(argv[1]), {"--bind", "127.0.0.1", "--port", QString::number(udpPort),
                                               "--http-bind", "127.0.0.1", "--http-port", QString::number(httpPort),
                                               "--trusted-proxy", "127.0.0.1", "--max-browsers",
                                               QString::number(Browsers)});
    if (!web.waitForStarted() || !waitFor([&] { return web.canReadLine(); }, 5000)) {
        std::fprintf(stderr, "periodix-web did not start\n");
        return 1;
    }
    const qint64 pid = web.processId();

    // The browsers, each noting when its messages come.
    std::vector<std::unique_ptr<QWebSocket>> browsers;
    std::vector<std::vector<qint64>> arrivals(Browsers);
    std::vector<QString> last(Browsers);
    for (int i = 0; i < Browsers; ++i) {
        browsers.push_back(std::make_unique<QWebSocket>());
        // Only news counts: the once-a-second word that the server is alive repeats the last.
        QObject::connect(browsers.back().get(), &QWebSocket::textMessageReceived,
                         [&arrivals, &last, i](const QString &message) {
                             if (message != last[size_t(i)])
                                 arrivals[size_t(i)].push_back(nowNs());
                             last[size_t(i)] = message;
                         });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(httpPort)));
        request.setRawHeader("X-Forwarded-For", "127.1." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250 + 1));
        browsers.back()->open(request);
        // No more requests in progress at once than periodix-web takes.
        if (i % 64 == 63)
            waitFor([&] { return std::all_of(arrivals.begin(), arrivals.begin() + i + 1,
                                             [](const auto &a) { return !a.empty(); }); }, 10000);
    }
    const auto everyoneHas = [&](size_t n) {
        return std::all_of(arrivals.begin(), arrivals.end(), [n](const auto &a) { return a.size() >= n; });
    };
    if (!waitFor([&] { return everyoneHas(1); }, 10000)) {
        std::fprintf(stderr, "not all %d browsers connected\n", Browsers);
        return 1;
    }
    for (auto &a : arrivals)
        a.clear();

    QUdpSocket clock;
    int sent = 0;
    const auto send = [&](int n) {
        const QByteArray datagram =
            periodix::protocol::clockDatagram(1, periodix::protocol::timeText(3599 - (n / 60) % 60 * 60 - n % 60));
        clock.writeDatagram(datagram, QHostAddress::LocalHost, udpPort);
        ++sent;
    };

    // The clock running: one datagram a second.
    const double cpuBefore = cpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    for (int s = 0; s < clockSeconds; ++s) {
        send(s);
        waitFor([&] { return everyoneHas(size_t(sent)); }, 2000);
        waitFor([] { return false; }, 1000 - int(wall.elapsed() % 1000));
    }
    const double runningCpu = (cpuSeconds(pid) - cpuBefore) / (wall.elapsed() / 1000.0) * 100.0;
    const double runningRss = memoryMiB(pid, "VmRSS");

    // The burst: each datagram once every browser has the one before.
    std::vector<qint64> sentAt;
    std::vector<double> latencies;
    const size_t base = size_t(sent);
    for (auto &a : arrivals)
        a.clear();
    const double burstCpuBefore = cpuSeconds(pid);
    wall.restart();
    for (int i = 0; i < burst; ++i) {
        sentAt.push_back(nowNs());
        send(int(base) + i + 1);
        if (!waitFor([&] { return everyoneHas(size_t(i) + 1); }, 2000)) {
            std::fprintf(stderr, "datagram %d did not reach every browser\n", i);
            return 1;
        }
    }
    const double burstCpu = (cpuSeconds(pid) - burstCpuBefore) / (wall.elapsed() / 1000.0) * 100.0;
    for (const auto &a : arrivals) {
        for (int i = 0; i < burst; ++i)
            latencies.push_back((a[size_t(i)] - sentAt[size_t(i)]) / 1e6);
    }
    const double burstSeconds = wall.elapsed() / 1000.0;
    const double burstPeak = memoryMiB(pid, "VmHWM");

    // The flood: datagrams sent as fast as the socket takes them, each a
    // change; every browser reads, so every one must end with the last.
    const int flood = 4 * burst;
    wall.restart();
    for (int i = 0; i < flood; ++i)
        send(int(base) + burst + i + 1);
    // The last of them says period 2: sent again until it is heard, for a
    // flood may overflow the socket's buffer and lose any datagram.
    const QString final = QStringLiteral("\"period\":2");
    const auto everyoneHasFinal = [&] {
        return std::all_of(last.begin(), last.end(), [&](const QString &m) { return m.contains(final); });
    };
    bool allHeard = false;
    for (int tries = 0; tries < 50 && !allHeard; ++tries) {
        clock.writeDatagram("p2t10:00", QHostAddress::LocalHost, udpPort);
        allHeard = waitFor(everyoneHasFinal, 200);
    }
    const double floodSeconds = wall.elapsed() / 1000.0;
    const long dropped = std::count_if(browsers.begin(), browsers.end(),
                                       [](const auto &b) { return b->state() != QAbstractSocket::ConnectedState; });
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies[size_t(q * double(latencies.size() - 1))]; };
    std::printf("%d browsers, %d datagrams on loopback, %zu messages\n", Browsers, burst, latencies.size());
    std::printf("datagram to browser message: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", at(0.5), at(0.99),
                latencies.back());
    std::printf("clock running (1 datagram/s, %d s): CPU %.2f %%, RSS %.1f MiB\n", clockSeconds, runningCpu, runningRss);
    std::printf("burst (%d datagrams in %.1f s): CPU %.1f %%, peak RSS %.1f MiB\n", burst, burstSeconds, burstCpu,
                burstPeak);
    std::printf("flood (%d datagrams at once): every browser had the last state after %.2f s: %s, dropped %ld, "
                "peak RSS %.1f MiB\n",
                flood, floodSeconds, allHeard ? "yes" : "NO", dropped, memoryMiB(pid, "VmHWM"));
    browsers.clear();
    web.terminate();
    web.waitForFinished(3000);
    return allHeard && dropped == 0 ? 0 : 1;
}
