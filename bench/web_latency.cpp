// periodix-web under load on loopback, for each count of pages in a list:
// the pages connected to its live updates (as through a proxy on this
// machine, each its own client), clock datagrams sent to it on 127.0.0.1,
// and the time from each datagram to each page's message. Also its CPU time
// and memory while a clock runs (one datagram a second), under a burst of
// datagrams one after the other, and under a flood sent all at once, after
// which every page (each reading) must hear the last state and none be
// dropped. With --relay, a relay a user might write instead (bench/node_relay)
// is measured the same way, right after periodix-web at each count.
//
// The pages are plain sockets read with epoll, one thread for them all, so
// that what is measured is the server: a page costs this side a read and a
// frame head.
//
//   web_latency [--pages 64,1000,4000] [--burst 500] [--clock-seconds 10] [--relay RELAY.js] PERIODIX-WEB

#include "protocol/clock_datagram.h"
#include "protocol/time_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QUdpSocket>
#include <QTcpSocket>
#include <QThread>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

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

// CPU time of every thread of the process, in seconds (the scheduler's own
// count, in nanoseconds: a clock tick is too coarse for 64 pages).
double cpuSeconds(qint64 pid)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            total += stat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
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

// One page's connection: its handshake, then the frames the server sends.
struct Page {
    int fd = -1;
    QByteArray in;
    bool events = false; // an event stream (through nginx's pub/sub), else a WebSocket
    bool upgraded = false;
    bool closed = false;
    QByteArray last;
    std::vector<qint64> arrivals; // of news: the once-a-second word that the server is alive repeats the last

    void takeEvents(qint64 at);
    void take(qint64 at)
    {
        if (!upgraded) {
            const qsizetype end = in.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            upgraded = in.startsWith(events ? "HTTP/1.1 200" : "HTTP/1.1 101");
            closed = !upgraded;
            in.remove(0, end + 4);
        }
        if (events)
            return takeEvents(at);
        while (in.size() >= 2) {
            const auto byte = [this](qsizetype i) { return quint64(quint8(in[i])); };
            quint64 length = byte(1) & 0x7f;
            qsizetype head = 2;
            if (length == 126) {
                if (in.size() < 4)
                    return;
                length = byte(2) << 8 | byte(3);
                head = 4;
            } else if (length == 127) {
                if (in.size() < 10)
                    return;
                length = 0;
                for (int i = 2; i < 10; ++i)
                    length = length << 8 | byte(i);
                head = 10;
            }
            if (quint64(in.size() - head) < length)
                return;
            const QByteArray payload = in.mid(head, qsizetype(length));
            const int opcode = in[0] & 0x0f;
            in.remove(0, head + qsizetype(length));
            if (opcode == 1 && payload != last) {
                arrivals.push_back(at);
                last = payload;
            } else if (opcode == 9) {
                // A pong, masked with a key of zeros, as a client must.
                ::send(fd, QByteArray("\x8a" + QByteArray(1, char(0x80 | payload.size())) + QByteArray(4, '\0') + payload),
                       size_t(6 + payload.size()), MSG_NOSIGNAL);
            } else if (opcode == 8) {
                closed = true;
            }
        }
    }
};

// The events of a stream, each its lines and a blank one; lines other than
// data (an id, a chunk's length) are passed over.
void Page::takeEvents(qint64 at)
{
    for (qsizetype end; (end = in.indexOf("\n\n")) >= 0;) {
        for (const QByteArray &line : in.left(end).split('\n')) {
            if (line.startsWith("data: ") && line.mid(6) != last) {
                last = line.mid(6);
                arrivals.push_back(at);
            }
        }
        in.remove(0, end + 2);
    }
}

class Pages {
public:
    explicit Pages(int count) : pages_(size_t(count)), epoll_(::epoll_create1(0)) {}
    ~Pages()
    {
        for (const Page &page : pages_)
            ::close(page.fd);
        ::close(epoll_);
    }

    // Connects every page, a batch at a time so that no more requests are in
    // progress at once than the server takes; each has heard its first message.
    bool connect(quint16 port, bool halfEvents)
    {
        constexpr size_t Batch = 32;
        for (size_t first = 0; first < pages_.size(); first += Batch) {
            const size_t end = std::min(pages_.size(), first + Batch);
            for (size_t i = first; i < end; ++i) {
                Page &page = pages_[i];
                page.fd = ::socket(AF_INET, SOCK_STREAM, 0);
                const sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
                if (::connect(page.fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0)
                    return false;
                const int one = 1;
                ::setsockopt(page.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                page.events = halfEvents && i % 2 == 1;
                const QByteArray request =
                    "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                    (page.events ? QByteArray("\r\nAccept: text/event-stream")
                                 : QByteArray("\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
                                              "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13")) +
                    "\r\nX-Forwarded-For: 127.1." + QByteArray::number(i / 250) + '.' +
                    QByteArray::number(i % 250 + 1) + "\r\n\r\n";
                ::send(page.fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
                ::fcntl(page.fd, F_SETFL, O_NONBLOCK);
                epoll_event event{EPOLLIN, {}};
                event.data.u64 = i;
                ::epoll_ctl(epoll_, EPOLL_CTL_ADD, page.fd, &event);
            }
            if (!waitFor([&] { return std::all_of(pages_.begin() + long(first), pages_.begin() + long(end),
                                                  [](const Page &p) { return !p.arrivals.empty(); }); },
                         10'000))
                return false;
        }
        return true;
    }

    // Reads whatever came until the condition holds or the time is up.
    bool waitFor(const std::function<bool()> &condition, int ms)
    {
        const qint64 deadline = nowNs() + qint64(ms) * 1'000'000;
        while (!condition()) {
            const qint64 left = deadline - nowNs();
            if (left <= 0)
                return false;
            read(int(std::min<qint64>(left / 1'000'000 + 1, 5)));
        }
        return true;
    }

    void forget()
    {
        for (Page &page : pages_)
            page.arrivals.clear();
    }
    bool everyoneHas(size_t n) const
    {
        return std::all_of(pages_.begin(), pages_.end(), [n](const Page &p) { return p.arrivals.size() >= n; });
    }
    long dropped() const
    {
        return std::count_if(pages_.begin(), pages_.end(), [](const Page &p) { return p.closed; });
    }
    const std::vector<Page> &pages() const { return pages_; }

private:
    void read(int ms)
    {
        epoll_event events[256];
        const int n = ::epoll_wait(epoll_, events, 256, ms);
        for (int e = 0; e < n; ++e) {
            Page &page = pages_[events[e].data.u64];
            char buffer[16384];
            for (;;) {
                const ssize_t got = ::recv(page.fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    if (got == 0 || errno != EAGAIN) {
                        page.closed = true;
                        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, page.fd, nullptr);
                    }
                    break;
                }
                page.in.append(buffer, got);
            }
            page.take(nowNs());
        }
    }

    std::vector<Page> pages_;
    int epoll_;
};

// The processes of a program: itself and its children (nginx's workers).
QList<qint64> family(qint64 pid)
{
    QList<qint64> pids{pid};
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray &child : children.readAll().split(' '))
            if (child.trimmed().toLongLong() > 0)
                pids.append(child.trimmed().toLongLong());
    }
    return pids;
}

double familyCpu(qint64 pid)
{
    double total = 0;
    for (qint64 p : family(pid))
        total += cpuSeconds(p);
    return total;
}

double familyMiB(qint64 pid)
{
    double total = 0;
    for (qint64 p : family(pid))
        total += memoryMiB(p, "VmRSS");
    return total;
}

// nginx with its pub/sub module and the example site, on loopback ports of
// its own, in a folder of its own.
class Nginx {
public:
    bool start(const QString &site)
    {
        QFile example(site);
        if (!dir_.isValid() || !example.open(QIODevice::ReadOnly))
            return false;
        port = freePort();
        QByteArray conf = example.readAll();
        conf.replace("listen 80;", "listen 127.0.0.1:" + QByteArray::number(port) + ';');
        conf.replace("/var/cache/nginx/periodix", dir_.filePath(QStringLiteral("cache")).toUtf8());
        conf.replace("127.0.0.1:8698", "127.0.0.1:" + QByteArray::number(freePort()));
        const QByteArray folder = dir_.path().toUtf8();
        QFile main(dir_.filePath(QStringLiteral("nginx.conf")));
        if (!main.open(QIODevice::WriteOnly))
            return false;
        main.write("load_module /usr/lib/nginx/modules/ngx_nchan_module.so;\n" +
                   QByteArray(::geteuid() == 0 ? "user root;\n" : "") + "worker_processes auto;\n"
                   "worker_rlimit_nofile 16384;\npid " + folder + "/pid;\nerror_log " + folder + "/error.log;\n"
                   "events { worker_connections 16000; }\nhttp {\n  access_log off;\n"
                   "  client_body_temp_path " + folder + "/body;\n  proxy_temp_path " + folder + "/proxy;\n" +
                   conf + "}\n");
        main.close();
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral("nginx"), {"-p", dir_.path(), "-c", main.fileName(), "-g", "daemon off;"});
        if (!process_.waitForStarted())
            return false;
        // Up once it answers.
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            if (probe.waitForConnected(100))
                return true;
            if (waited.elapsed() > 5000 || process_.state() != QProcess::Running)
                return false;
            QThread::msleep(50);
        }
        return false;
    }
    ~Nginx()
    {
        process_.terminate();
        process_.waitForFinished(3000);
    }
    qint64 pid() const { return process_.processId(); }
    quint16 port = 0;

private:
    QTemporaryDir dir_;
    QProcess process_;
};

struct Figures {
    QString program;
    int pages = 0;
    double p50 = 0, p99 = 0, worst = 0;
    double runningCpu = 0;   // per cent while a clock runs
    double perPageUs = 0;    // CPU per message and page while a clock runs
    double runningMiB = 0;
    double burstSeconds = 0, burstCpu = 0, peakMiB = 0;
    double floodSeconds = 0;
    double nginxCpu = -1, nginxMiB = 0; // through nginx only
    bool allHeard = false;
    long dropped = 0;
};

bool measure(Figures &f, const QString &program, QStringList programArguments, int burst, int clockSeconds,
             const QString &site = {})
{
    const quint16 udpPort = freePort();
    const quint16 httpPort = freePort();
    // Through nginx the pages are its subscribers, half of them by WebSocket
    // and half by event stream, and periodix-web publishes to it.
    Nginx nginx;
    if (!site.isEmpty()) {
        if (!nginx.start(site)) {
            std::fprintf(stderr, "nginx with the pub/sub module did not start\n");
            return false;
        }
        programArguments << "--publish" << QStringLiteral("http://127.0.0.1:%1/publish").arg(nginx.port);
    }
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(program, programArguments + QStringList{"--bind", "127.0.0.1", "--port", QString::number(udpPort),
                                                         "--http-bind", "127.0.0.1", "--http-port",
                                                         QString::number(httpPort), "--trusted-proxy", "127.0.0.1"} +
                                            // through nginx periodix-web has no pages of its own
                                            (site.isEmpty() ? QStringList{"--max-browsers", QString::number(f.pages)}
                                                            : QStringList{}));
    if (!server.waitForStarted() || !server.waitForReadyRead(5000)) {
        std::fprintf(stderr, "%s did not start\n", qPrintable(f.program));
        return false;
    }
    const qint64 pid = server.processId();
    const auto stop = qScopeGuard([&] {
        server.terminate();
        server.waitForFinished(3000);
    });

    Pages pages(f.pages);
    if (!pages.connect(site.isEmpty() ? httpPort : nginx.port, !site.isEmpty())) {
        std::fprintf(stderr, "%s: not all %d pages connected\n", qPrintable(f.program), f.pages);
        return false;
    }
    pages.forget();

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
    const double nginxBefore = site.isEmpty() ? 0 : familyCpu(nginx.pid());
    QElapsedTimer wall;
    wall.start();
    for (int s = 0; s < clockSeconds; ++s) {
        send(s);
        pages.waitFor([&] { return pages.everyoneHas(size_t(sent)); }, 2000);
        pages.waitFor([] { return false; }, 1000 - int(wall.elapsed() % 1000));
    }
    const double runningCpuSeconds = cpuSeconds(pid) - cpuBefore;
    f.runningCpu = runningCpuSeconds / (wall.elapsed() / 1000.0) * 100.0;
    f.perPageUs = runningCpuSeconds / clockSeconds / f.pages * 1e6;
    f.runningMiB = memoryMiB(pid, "VmRSS");
    if (!site.isEmpty()) {
        f.nginxCpu = (familyCpu(nginx.pid()) - nginxBefore) / (wall.elapsed() / 1000.0) * 100.0;
        f.nginxMiB = familyMiB(nginx.pid());
    }

    // The burst: each datagram once every page has the one before.
    std::vector<qint64> sentAt;
    const int base = sent;
    pages.forget();
    const double burstCpuBefore = cpuSeconds(pid);
    wall.restart();
    for (int i = 0; i < burst; ++i) {
        sentAt.push_back(nowNs());
        send(base + i + 1);
        if (!pages.waitFor([&] { return pages.everyoneHas(size_t(i) + 1); }, 2000)) {
            std::fprintf(stderr, "%s: datagram %d did not reach every page\n", qPrintable(f.program), i);
            return false;
        }
    }
    f.burstSeconds = wall.elapsed() / 1000.0;
    f.burstCpu = (cpuSeconds(pid) - burstCpuBefore) / f.burstSeconds * 100.0;
    std::vector<double> latencies;
    latencies.reserve(size_t(burst) * size_t(f.pages));
    for (const Page &page : pages.pages()) {
        for (int i = 0; i < burst; ++i)
            latencies.push_back(double(page.arrivals[size_t(i)] - sentAt[size_t(i)]) / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies[size_t(q * double(latencies.size() - 1))]; };
    f.p50 = at(0.5);
    f.p99 = at(0.99);
    f.worst = latencies.back();
    f.peakMiB = memoryMiB(pid, "VmHWM");

    // The flood: datagrams sent as fast as the socket takes them, each a
    // change; every page reads, so every one must end with the last. That
    // one says period 2, sent again until it is heard, for a flood may
    // overflow the socket's buffer and lose any datagram.
    wall.restart();
    for (int i = 0; i < 4 * burst; ++i)
        send(base + burst + i + 1);
    const auto everyoneHasFinal = [&] {
        return std::all_of(pages.pages().begin(), pages.pages().end(),
                           [](const Page &p) { return p.last.contains("\"period\":2"); });
    };
    for (int tries = 0; tries < 50 && !f.allHeard; ++tries) {
        clock.writeDatagram("p2t10:00", QHostAddress::LocalHost, udpPort);
        f.allHeard = pages.waitFor(everyoneHasFinal, 200);
    }
    f.floodSeconds = wall.elapsed() / 1000.0;
    f.dropped = pages.dropped();
    f.peakMiB = memoryMiB(pid, "VmHWM");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> counts{64};
    int burst = 500;
    int clockSeconds = 10;
    QString relay;
    QString site; // the pub/sub site, examples/nginx/periodix-pubsub.conf
    QString web;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const QString value = arguments.value(i + 1);
        if (a == QLatin1String("--pages")) {
            counts.clear();
            for (const QString &n : value.split(u','))
                counts.append(std::max(1, n.toInt()));
            ++i;
        } else if (a == QLatin1String("--burst")) {
            burst = std::max(1, value.toInt());
            ++i;
        } else if (a == QLatin1String("--clock-seconds")) {
            clockSeconds = std::max(1, value.toInt());
            ++i;
        } else if (a == QLatin1String("--relay")) {
            relay = value;
            ++i;
        } else if (a == QLatin1String("--through-nginx")) {
            site = value;
            ++i;
        } else {
            web = a;
        }
    }
    if (web.isEmpty()) {
        std::fprintf(stderr, "usage: %s [--pages 64,1000,4000] [--burst N] [--clock-seconds N] [--relay RELAY.js] "
                             "[--through-nginx SITE.conf] PERIODIX-WEB\n", argv[0]);
        return 2;
    }

    std::vector<Figures> all;
    bool ok = true;
    for (int count : counts) {
        // periodix-web serving the pages itself where it can, the relay, and
        // periodix-web publishing through nginx.
        QStringList ways;
        if (count <= 4096)
            ways << web;
        if (!relay.isEmpty())
            ways << relay;
        if (!site.isEmpty())
            ways << site;
        for (const QString &program : std::as_const(ways)) {
            Figures f;
            f.pages = count;
            f.program = program == relay  ? QStringLiteral("Node relay")
                        : program == site ? QStringLiteral("through nginx")
                                          : QStringLiteral("periodix-web");
            const bool measured = program == relay  ? measure(f, QStringLiteral("node"), {relay}, burst, clockSeconds)
                                  : program == site ? measure(f, web, {}, burst, clockSeconds, site)
                                                    : measure(f, web, {}, burst, clockSeconds);
            if (!measured) {
                ok = false;
                continue;
            }
            std::printf("%s, %d pages, %d datagrams, %zu messages\n", qPrintable(f.program), count, burst,
                        size_t(burst) * size_t(count));
            std::printf("  datagram to page: p50 %.2f ms, p99 %.2f ms, worst %.2f ms\n", f.p50, f.p99, f.worst);
            std::printf("  clock running (1 datagram/s, %d s): CPU %.2f %%, %.2f us a message per page, RSS %.1f MiB\n",
                        clockSeconds, f.runningCpu, f.perPageUs, f.runningMiB);
            std::printf("  burst (%d datagrams in %.1f s): CPU %.1f %%, peak RSS %.1f MiB\n", burst, f.burstSeconds,
                        f.burstCpu, f.peakMiB);
            std::printf("  flood (%d datagrams at once): every page had the last state after %.2f s: %s, dropped %ld\n",
                        4 * burst, f.floodSeconds, f.allHeard ? "yes" : "NO", f.dropped);
            if (f.nginxCpu >= 0)
                std::printf("  nginx while the clock runs: CPU %.2f %%, RSS %.1f MiB (all its processes)\n", f.nginxCpu,
                            f.nginxMiB);
            std::fflush(stdout);
            // The relay is measured, not judged: it has no flood rule.
            ok = ok && (program == relay || (f.allHeard && f.dropped == 0));
            all.push_back(f);
        }
    }

    // How each program's cost grows with the pages, against its fewest.
    // Through nginx, the CPU and memory are periodix-web's, then nginx's.
    std::printf("\n| program | pages | p50 ms | p99 ms | worst ms | CPU, clock running | us a message per page | "
                "memory MiB | x CPU a page | x p50 | nginx CPU | nginx MiB |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Figures &f : all) {
        const auto first = std::find_if(all.begin(), all.end(), [&](const Figures &g) { return g.program == f.program; });
        std::printf("| %s | %d | %.2f | %.2f | %.1f | %.2f %% | %.2f | %.1f | %.2f | %.1f |", qPrintable(f.program),
                    f.pages, f.p50, f.p99, f.worst, f.runningCpu, f.perPageUs, f.runningMiB,
                    f.perPageUs / first->perPageUs, f.p50 / first->p50);
        if (f.nginxCpu >= 0)
            std::printf(" %.2f %% | %.1f |\n", f.nginxCpu, f.nginxMiB);
        else
            std::printf(" | |\n");
    }
    return ok ? 0 : 1;
}
