#include "support/manual_clock.h"
#include "web/live_socket.h"
#include "web/web_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include <memory>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/syscall.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace periodix::web;

namespace {
// The error duplicating a descriptor fails with; 0 while it works. This
// program's own fcntl takes the place of the C library's.
int dupFault = 0;
} // namespace

extern "C" int fcntl(int fd, int command, ...)
{
    va_list rest;
    va_start(rest, command);
    const long argument = va_arg(rest, long);
    va_end(rest);
    if (dupFault && (command == F_DUPFD || command == F_DUPFD_CLOEXEC))
        return errno = dupFault, -1;
    return int(::syscall(SYS_fcntl, fd, command, argument));
}
extern "C" int fcntl64(int fd, int command, ...) __attribute__((alias("fcntl")));

namespace {

// A raw client on loopback, from one of its addresses: what it sent and what
// came back.
struct RawClient {
    explicit RawClient(quint16 port, const char *from = "127.0.0.1")
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { answer += socket.readAll(); });
        socket.bind(QHostAddress(QString::fromLatin1(from)));
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    QByteArray status() const { return answer.left(answer.indexOf("\r\n")); }
    QTcpSocket socket;
    QByteArray answer;
};

// A plain socket that sends all of its bytes, reading as it goes, until the
// server ends the connection: what came back, and whether the end was a
// reset rather than the server's FIN after its last word. What follows a
// whole request head waits for the server's first answer. The client's end
// stays open.
struct Ended {
    QByteArray answer;
    bool reset;
    int fd;
};
Ended sendUntilEnded(quint16 port, const QByteArray &bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    QByteArray answer;
    qsizetype sent = 0;
    bool reset = true;
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
        QCoreApplication::processEvents(); // the server is in this process
        const qsizetype head = bytes.indexOf("\r\n\r\n") + 4;
        const qsizetype upTo = head >= 4 && answer.isEmpty() ? head : bytes.size();
        if (sent < upTo) {
            const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(upTo - sent), MSG_NOSIGNAL);
            sent += n > 0 ? n : 0;
        }
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got > 0)
            answer.append(buffer, got);
        if (got == 0 || (got < 0 && errno != EAGAIN)) {
            reset = got < 0;
            break;
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 5);
    }
    return {answer, reset, fd};
}

WebLimits smallLimits()
{
    WebLimits limits;
    limits.browsers = 4;
    limits.requests = 8;
    limits.perAddress = 3;
    limits.queuedBytes = 16 * 1024;
    limits.requestMs = 300; // a half-open connection goes after this
    return limits;
}

const QByteArray KeyAndVersion = "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";

QByteArray handshake(quint16 port, const QByteArray &extra = "", const QByteArray &keyAndVersion = KeyAndVersion)
{
    return "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n" + keyAndVersion + extra + "\r\n";
}

// A client's frame, masked unless asked: the payload as the server should read it.
QByteArray frame(char first, const QByteArray &payload, bool masked = true)
{
    const QByteArray mask = masked ? QByteArray("\x5a\x01\xa5\x10") : QByteArray();
    QByteArray bytes(1, first);
    const char maskBit = masked ? char(0x80) : char(0);
    if (payload.size() < 126)
        bytes += char(maskBit | char(payload.size()));
    else
        bytes += char(maskBit | 126) + QByteArray(1, char(payload.size() >> 8)) + char(payload.size() & 0xff);
    bytes += mask;
    for (qsizetype i = 0; i < payload.size(); ++i)
        bytes += masked ? char(payload[i] ^ mask[i % 4]) : payload[i];
    return bytes;
}

} // namespace

// Clients that send garbage, too much, nothing, or go away: periodix-web
// answers or drops each of them and goes on serving.
class HostileClientsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void badRequests_answeredAndClosed_data();
    void badRequests_answeredAndClosed();
    void halfOpenAndDroppedConnections_freeTheirPlaces();
    void tooManyBrowsers_refused();
    void browserSendingGarbage_changesNothing();
    void liveHandshakes_data();
    void liveHandshakes();
    void liveFrames_data();
    void liveFrames();
    void lastWord_withoutReset_data();
    void lastWord_withoutReset();
    void silentPage_dropped_answeringPageKept();
    void oneAddress_cannotTakeEveryPlace();
    void trustedProxy_countsEachClient();
    void stalledRequests_giveTheirPlaces();
    void thousandsOfSenders_bounded();
    void burst_readingPagesHearTheEnd();
    void slowPage_framesAtOnceAndInOrder();
    void noDescriptorToTakeOver_pageGoes();
    void nonReadingPage_dropped_data();
    void nonReadingPage_dropped();
    void destroyedWithClientsOpen();

private:
    void servesPage();
    std::unique_ptr<WebServer> server;
    qint64 rssAtStart = 0;
};

// What the process holds in memory now.
qint64 residentBytes()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLongLong() * 1024;
}

void HostileClientsTest::init()
{
    QTest::failOnWarning(QRegularExpression(".")); // no client may make the server write to stderr
    rssAtStart = residentBytes();
    server = std::make_unique<WebServer>(periodix::steadyClock(), smallLimits());
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
}

void HostileClientsTest::servesPage()
{
    RawClient client(server->port());
    client.socket.write("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QTRY_VERIFY(client.closed());
    QCOMPARE(client.status(), QByteArray("HTTP/1.1 200 OK"));
    QVERIFY(client.answer.contains("<title>Periodix</title>"));
    // Whatever the clients did, the server did not grow for them.
    QVERIFY2(residentBytes() - rssAtStart < 48 << 20, qPrintable(QString::number(residentBytes() - rssAtStart)));
}

void HostileClientsTest::badRequests_answeredAndClosed_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    static const char tlsHello[] = "\x16\x03\x01\x02\x00\x01\x00\r\n\r\n"; // TLS where HTTP is due
    QTest::newRow("garbage") << QByteArray(tlsHello, sizeof tlsHello - 1) << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: x\n\n\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("unknown path") << QByteArray("GET /admin HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray("HTTP/1.1 404 Not Found");
    QTest::newRow("POST") << QByteArray("POST /clock.json HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n")
                          << QByteArray("HTTP/1.1 405 Method Not Allowed");
    QTest::newRow("GET with a body") << QByteArray("GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello")
                                     << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("live without upgrade") << QByteArray("GET /live HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("a tab in the target") << QByteArray("GET /\tx HTTP/1.1\r\nHost: x\r\n\r\n")
                                         << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("oversized head") << "GET / HTTP/1.1\r\nX-Filler: " + QByteArray(64 * 1024, 'a') + "\r\n\r\n"
                                    << QByteArray("HTTP/1.1 431 Request Header Fields Too Large");
    QTest::newRow("the data, by HEAD") << QByteArray("HEAD /clock.json HTTP/1.0\r\n\r\n") << QByteArray("HTTP/1.1 200 OK");
    QTest::newRow("an absolute URI") << QByteArray("GET http://x:8699/clock.json HTTP/1.1\r\nHost: x:8699\r\n\r\n")
                                     << QByteArray("HTTP/1.1 200 OK");
    QTest::newRow("HTTP/1.1 without Host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("two Hosts") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n")
                               << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("two lengths") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nContent-Length: 5\r\n\r\n")
                                 << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("no such version") << QByteArray("GET / HTTP/1.9junk\r\nHost: x\r\n\r\n")
                                     << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("two lengths, the larger first")
        << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nContent-Length: 0\r\n\r\n")
        << QByteArray("HTTP/1.1 400 Bad Request");
    // Answered at once: a head ended by bare LFs never gets its CR LF.
    QTest::newRow("bare LF only") << QByteArray("GET / HTTP/1.1\nHost: x\n\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("an HTTP/1.0 upgrade") << handshake(1).replace("HTTP/1.1", "HTTP/1.0")
                                         << QByteArray("HTTP/1.1 400 Bad Request");
    // A handshake, a frame and a second handshake of another site in one
    // write: answered once, and not upgraded.
    QTest::newRow("a pipelined second handshake")
        << handshake(1) + QByteArray("\x81\x80\0\0\0\0", 6) + handshake(1, "Origin: http://evil.example\r\n")
        << QByteArray("HTTP/1.1 400 Bad Request");
}

void HostileClientsTest::badRequests_answeredAndClosed()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    RawClient client(server->port());
    QElapsedTimer answered;
    answered.start();
    client.socket.write(request);
    QTRY_VERIFY(client.closed());
    QCOMPARE(client.status(), status);
    QCOMPARE(client.answer.count("HTTP/1.1 "), 1);
    QVERIFY2(answered.elapsed() < smallLimits().requestMs, "answered only when the deadline cut it");
    QTRY_COMPARE(server->requestCount(), 0);
    servesPage();
}

void HostileClientsTest::halfOpenAndDroppedConnections_freeTheirPlaces()
{
    // 100 clients that connect and go at once, some half-way through a request.
    for (int i = 0; i < 100; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        QVERIFY(socket.waitForConnected(2000));
        if (i % 2)
            socket.write("GET / HTTP/1.1\r\nHost: loc");
        socket.flush();
        socket.abort();
        QCoreApplication::processEvents(); // the server takes them as they come
    }
    // More half-open clients than there are places: they say nothing.
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < 12; ++i)
        silent.push_back(std::make_unique<RawClient>(server->port()));
    QTRY_VERIFY(std::all_of(silent.begin(), silent.end(), [](const auto &c) { return c->closed(); }));
    QTRY_COMPARE(server->requestCount(), 0);
    servesPage();
}

void HostileClientsTest::tooManyBrowsers_refused()
{
    std::vector<std::unique_ptr<QWebSocket>> browsers;
    for (int i = 0; i < 5; ++i) {
        browsers.push_back(std::make_unique<QWebSocket>());
        browsers.back()->open(QUrl(QString("ws://127.0.0.1:%1/live").arg(server->port())));
        QTRY_VERIFY(browsers.back()->state() != QAbstractSocket::ConnectingState);
    }
    QTRY_COMPARE(server->browserCount(), 3); // the most from one address
    QCOMPARE(browsers.back()->state(), QAbstractSocket::UnconnectedState);
    browsers.clear(); // all go at once
    QTRY_COMPARE(server->browserCount(), 0);
    servesPage();
}

void HostileClientsTest::browserSendingGarbage_changesNothing()
{
    QWebSocket browser;
    QStringList heard;
    connect(&browser, &QWebSocket::textMessageReceived, [&](const QString &m) { heard << m; });
    browser.open(QUrl(QString("ws://127.0.0.1:%1/live").arg(server->port())));
    QTRY_COMPARE(heard.size(), 1); // the state on connecting
    QVERIFY(heard[0].contains("\"state\":\"waiting\""));
    browser.sendTextMessage("p1t99:99");
    browser.sendBinaryMessage(QByteArray(100, '\0'));
    // Junk datagrams change nothing the page shows: they are not sent on.
    for (int i = 0; i < 1000; ++i)
        server->receive("x", "127.0.0.2");
    server->receive("p3t01:00", "127.0.0.2"); // a sender name only: nothing is sent
    QTRY_VERIFY2(heard.last().contains("\"period\":3") && heard.last().contains("\"time\":\"01:00\""),
                 qPrintable(heard.last()));
    QVERIFY2(heard.size() <= 3, qPrintable(heard.join('\n'))); // and perhaps one saying it is alive
    QCOMPARE(server->browserCount(), 1); // the page that sent them stays
    // Another clock rides with the next change of this one: one message.
    const qsizetype before = heard.size();
    server->receive("p1t05:00", "127.0.0.3");
    QCoreApplication::processEvents(); // the turn of the event loop that would send it
    server->receive("p3t00:59", "127.0.0.2");
    QTRY_VERIFY(heard.last().contains("00:59"));
    QCOMPARE(heard.size(), before + 1);
    // The clock's hall feed: the page hears so, and the time left to count tenths on from.
    server->receiveFeed(R"({"v":1,"seq":1,"game":"g","state":"running","period":2,"periods":2,"legend":"Half",)"
                        R"("timer":"countdown","length":600,"clock":45.3,"time":"00:46"})",
                        "127.0.0.2");
    QTRY_VERIFY2(heard.last().contains("\"source\":\"feed\""), qPrintable(heard.last()));
    QVERIFY2(heard.last().contains(R"("game":"g","left")") && heard.last().contains(R"("length":600,"moreClocks")")
             && heard.last().contains(R"("periods":2,"sender")") && heard.last().contains(R"("timer":"countdown")"), qPrintable(heard.last()));
    QVERIFY2(QRegularExpression("\"left\":45[23]\\d\\d[,}]").match(heard.last()).hasMatch(), qPrintable(heard.last()));
    // The time left moves every moment: a repeat that only moves it is not sent.
    server->receiveFeed(R"({"v":1,"seq":2,"game":"g","state":"running","period":2,"periods":2,"legend":"Half",)"
                        R"("timer":"countdown","length":600,"clock":45.2,"time":"00:46"})",
                        "127.0.0.2");
    QCoreApplication::processEvents();
    server->receiveFeed(R"({"v":1,"seq":3,"game":"g","state":"paused","period":2,"periods":2,"legend":"Half",)"
                        R"("timer":"countdown","length":600,"clock":45.3,"time":"00:46"})",
                        "127.0.0.2");
    QTRY_VERIFY2(heard.last().contains("\"left\":null"), qPrintable(heard.last()));
    QCOMPARE(heard.filter("\"state\":\"running\"").filter("\"source\":\"feed\"").size(), 1);
    // A message over the size a page may send: that browser goes, the server stays.
    browser.sendTextMessage(QString(64 * 1024, u'x'));
    QTRY_COMPARE(server->browserCount(), 0);
    servesPage();
}

void HostileClientsTest::liveHandshakes_data()
{
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("keyAndVersion"); // and other headers
    QTest::addColumn<bool>("proxied");             // through the trusted proxy
    QTest::addColumn<QByteArray>("status");
    const QByteArray upgraded = "HTTP/1.1 101 Switching Protocols";
    const QByteArray forbidden = "HTTP/1.1 403 Forbidden";
    const QByteArray bad = "HTTP/1.1 400 Bad Request";
    const QByteArray viaProxy = "X-Forwarded-For: 127.0.0.77\r\nX-Forwarded-Proto: https\r\n";
    QTest::newRow("a tool: no Origin") << QByteArray() << KeyAndVersion << false << upgraded;
    QTest::newRow("this site's page") << QByteArray("http://127.0.0.1:PORT") << KeyAndVersion << false << upgraded;
    QTest::newRow("another site's page") << QByteArray("http://evil.example") << KeyAndVersion << false << forbidden;
    QTest::newRow("another port") << QByteArray("http://127.0.0.1:1") << KeyAndVersion << false << forbidden;
    QTest::newRow("another scheme") << QByteArray("https://127.0.0.1:PORT") << KeyAndVersion << false << forbidden;
    QTest::newRow("a WebSocket scheme") << QByteArray("ws://127.0.0.1:PORT") << KeyAndVersion << false << forbidden;
    QTest::newRow("no key") << QByteArray() << QByteArray("Sec-WebSocket-Version: 13\r\n") << false << bad;
    QTest::newRow("an old version") << QByteArray() << KeyAndVersion.left(KeyAndVersion.indexOf("Sec-WebSocket-V")) + "Sec-WebSocket-Version: 8\r\n"
                                    << false << QByteArray("HTTP/1.1 426 Upgrade Required");
    QTest::newRow("behind the proxy, over HTTPS") << QByteArray("https://127.0.0.1:PORT") << KeyAndVersion + viaProxy
                                                  << true << upgraded;
    QTest::newRow("behind the proxy, plain HTTP claimed") << QByteArray("https://127.0.0.1:PORT")
                                                          << KeyAndVersion + "X-Forwarded-For: 127.0.0.77\r\n" << true
                                                          << forbidden;
    QTest::newRow("a client's own X-Forwarded-Host") << QByteArray("https://evil.example")
                                                     << KeyAndVersion + viaProxy + "X-Forwarded-Host: evil.example\r\n"
                                                     << true << forbidden;
    QTest::newRow("a forwarded address with a port")
        << QByteArray() << KeyAndVersion + "X-Forwarded-For: 2.2.2.2:5555\r\n" << true << bad;
    QTest::newRow("a forwarded script") << QByteArray() << KeyAndVersion + "X-Forwarded-For: <script>\r\n" << true << bad;
    // From a client that is not the proxy, forwarded headers mean nothing.
    QTest::newRow("not the proxy, HTTPS claimed") << QByteArray("https://127.0.0.1:PORT") << KeyAndVersion + viaProxy
                                                  << false << forbidden;
    QTest::newRow("not the proxy, a script forwarded") << QByteArray() << KeyAndVersion + "X-Forwarded-For: <script>\r\n"
                                                       << false << upgraded;
}

void HostileClientsTest::liveHandshakes()
{
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, keyAndVersion);
    QFETCH(bool, proxied);
    QFETCH(QByteArray, status);
    server->setTrustedProxy(QHostAddress(proxied ? "127.0.0.1" : "127.0.0.9"));
    origin.replace("PORT", QByteArray::number(server->port()));
    RawClient client(server->port());
    client.socket.write(handshake(server->port(), origin.isEmpty() ? "" : "Origin: " + origin + "\r\n", keyAndVersion));
    QTRY_VERIFY(client.answer.contains("\r\n\r\n"));
    QCOMPARE(client.status(), status);
    QVERIFY2(!client.answer.contains("Server:") && !client.answer.contains("Access-Control-"), client.answer);
}

void HostileClientsTest::liveFrames_data()
{
    QTest::addColumn<QByteArray>("frames"); // sent once the page is connected
    QTest::addColumn<QByteArray>("reply");  // what the server sends back after the clock's state
    QTest::addColumn<bool>("closed");
    const auto closing = [](int code) { return QByteArray("\x88\x02") + char(code >> 8) + char(code & 0xff); };
    const QByteArray pong = "\x8a\x03" "abc";
    const QByteArray ping = frame('\x89', "abc");
    QTest::newRow("a ping") << ping << pong << false;
    QTest::newRow("a text in fragments, a ping between")
        << frame('\x01', "ab") + ping + frame('\x00', "c") + frame('\x80', "d") + ping << pong + pong << false;
    QTest::newRow("an unmasked frame") << frame('\x81', "hi", false) << closing(1002) << true;
    QTest::newRow("a reserved bit") << frame('\xc1', "hi") << closing(1002) << true;
    QTest::newRow("the second reserved bit") << frame('\xa1', "hi") << closing(1002) << true;
    QTest::newRow("the third reserved bit") << frame('\x91', "hi") << closing(1002) << true;
    QTest::newRow("a ping of 125 bytes") << frame('\x89', QByteArray(125, 'p')) << "\x8a\x7d" + QByteArray(125, 'p')
                                         << false;
    QTest::newRow("a ping of 126 bytes") << frame('\x89', QByteArray(126, 'p')) << closing(1002) << true;
    QTest::newRow("an unknown opcode") << frame('\x83', "") << closing(1002) << true;
    QTest::newRow("a ping in fragments") << frame('\x09', "") << closing(1002) << true;
    QTest::newRow("a continuation first") << frame('\x80', "a") << closing(1002) << true;
    QTest::newRow("a message inside a message") << frame('\x01', "a") + frame('\x81', "b") << closing(1002) << true;
    QTest::newRow("a length in too many bytes") << QByteArray("\x81\xfe\x00\x02\0\0\0\0hi", 10) << closing(1002) << true;
    QTest::newRow("a 64-bit length that fits in 16")
        << QByteArray("\x82\xff\0\0\0\0\0\0\0\xc8", 10) + QByteArray(4 + 200, '\0') << closing(1002) << true;
    QTest::newRow("a length past 63 bits") << QByteArray("\x82\xff\x80\0\0\0\0\0\0\0", 10) << closing(1002) << true;
    QTest::newRow("text not in UTF-8") << frame('\x81', "\xc3\x28") << closing(1007) << true;
    QTest::newRow("text cut in a character") << frame('\x81', "a\xe2\x82") << closing(1007) << true;
    QTest::newRow("a character split across fragments") << frame('\x01', "\xc3") + frame('\x80', "\xa9") + ping << pong
                                                         << false;
    QTest::newRow("not UTF-8 across fragments") << frame('\x01', "a\xc3") + frame('\x80', "\x28") << closing(1007)
                                                << true;
    QTest::newRow("too big, known from the head") << QByteArray("\x82\xfe\x04\x01", 4) << closing(1009) << true;
    QTest::newRow("too big in fragments") << frame('\x02', QByteArray(600, 'a')) + frame('\x80', QByteArray(600, 'b'))
                                          << closing(1009) << true;
    QTest::newRow("a Close") << frame('\x88', "\x03\xe8" "bye") + ping << closing(1000) << true;
    QTest::newRow("a Close with a private code") << frame('\x88', "\x0f\xa0") << closing(4000) << true;
    QTest::newRow("a Close with a code never sent") << frame('\x88', "\x03\xed") << closing(1002) << true;
    QTest::newRow("a Close with the reserved code 1004") << frame('\x88', "\x03\xec") << closing(1002) << true;
}

void HostileClientsTest::liveFrames()
{
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, reply);
    QFETCH(bool, closed);
    RawClient page(server->port());
    page.socket.write(handshake(server->port()));
    QTRY_VERIFY(page.answer.contains("}")); // the 101 and the clock's state
    const qsizetype heard = page.answer.size();
    page.socket.write(frames);
    QTRY_COMPARE(page.answer.mid(heard, reply.size()), reply);
    if (closed) {
        QTRY_VERIFY(page.closed());
        QCOMPARE(page.answer.size(), heard + reply.size()); // nothing after the Close
    }
    QTRY_COMPARE(server->browserCount(), closed ? 0 : 1);
}

void HostileClientsTest::lastWord_withoutReset_data()
{
    // A client still sending when the server has said its last word reads
    // that word and then the end, not a reset, which may lose it.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("lastWord");
    const QByteArray more(256 * 1024, 'x');
    QTest::newRow("431") << "GET / HTTP/1.1\r\nX-Filler: " + more << QByteArray("HTTP/1.1 431 Request Header");
    QTest::newRow("1009") << handshake(0) + QByteArray("\x82\xff\0\0\0\0\0\x10\0\0\0\0\0\0", 14) + more
                          << QByteArray("\x88\x02\x03\xf1");
}

void HostileClientsTest::lastWord_withoutReset()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, lastWord);
    const auto openFds = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(); };
    const qsizetype fdsBefore = openFds();
    const auto [answer, reset, fd] = sendUntilEnded(server->port(), bytes.replace("127.0.0.1:0", "127.0.0.1:" + QByteArray::number(server->port())));
    QVERIFY2(answer.contains(lastWord), answer.left(200).constData());
    QVERIFY(!reset);
    QTRY_COMPARE(openFds(), fdsBefore + 1); // the server let go of its end, of a client that never closes too
    ::close(fd);
}

void HostileClientsTest::silentPage_dropped_answeringPageKept()
{
    // Pings often in real time, silence measured on a hand-driven clock: a
    // page that answers the pings stays however long the game, one that says
    // nothing goes once it has been silent for the limit.
    ManualClock clock;
    WebLimits limits = smallLimits();
    limits.pingMs = 20;
    limits.silentMs = 30'000;
    server = std::make_unique<WebServer>(clock, limits);
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
    QWebSocket answering; // Qt's client answers every ping
    answering.open(QUrl(QString("ws://127.0.0.1:%1/live").arg(server->port())));
    RawClient silent(server->port());
    silent.socket.write(handshake(server->port()));
    QTRY_COMPARE(server->browserCount(), 2);
    for (int round = 0; round < 3; ++round) {
        clock.advanceMs(20'000);
        const qsizetype pings = silent.answer.count("\x89\x00");
        QTRY_VERIFY(silent.closed() || silent.answer.count("\x89\x00") >= pings + 2); // two rounds of pings
    }
    QVERIFY(silent.closed());
    QCOMPARE(answering.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(server->browserCount(), 1);
}

void HostileClientsTest::oneAddress_cannotTakeEveryPlace()
{
    // A hundred idle connections from one address hold its three places...
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 100; ++i)
        idle.push_back(std::make_unique<RawClient>(server->port(), "127.0.0.3"));
    QTRY_COMPARE(std::count_if(idle.begin(), idle.end(), [](const auto &c) { return !c->closed(); }), 3);
    QCOMPARE(server->requestCount(), 3);
    // ...and none of another's.
    servesPage();
    // Browsers the same way: three from one address, the fourth refused.
    std::vector<std::unique_ptr<RawClient>> pages;
    for (const char *from : {"127.0.0.4", "127.0.0.4", "127.0.0.4", "127.0.0.4", "127.0.0.5"}) {
        pages.push_back(std::make_unique<RawClient>(server->port(), from));
        pages.back()->socket.write(handshake(server->port()));
        QTRY_VERIFY(pages.back()->answer.contains("\r\n\r\n"));
    }
    QCOMPARE(pages[2]->status(), QByteArray("HTTP/1.1 101 Switching Protocols"));
    QCOMPARE(pages[3]->status(), QByteArray("HTTP/1.1 503 Service Unavailable"));
    QCOMPARE(pages[4]->status(), QByteArray("HTTP/1.1 101 Switching Protocols"));
}

void HostileClientsTest::trustedProxy_countsEachClient()
{
    // Through the proxy, a client is the last address it forwards (the one
    // the proxy added): three places for it, whatever came before; and the
    // whole count binds the proxy too.
    server->setTrustedProxy(QHostAddress::LocalHost);
    QStringList statuses;
    std::vector<std::unique_ptr<RawClient>> pages;
    const QStringList forwarded{"198.51.100.1, 127.0.0.77", "198.51.100.2, 127.0.0.77", "198.51.100.3, 127.0.0.77",
                                "198.51.100.4, 127.0.0.77", "127.0.0.78", "127.0.0.79"};
    for (const QString &clients : forwarded) {
        pages.push_back(std::make_unique<RawClient>(server->port()));
        pages.back()->socket.write(handshake(server->port(), "X-Forwarded-For: " + clients.toLatin1() + "\r\n"));
        QTRY_VERIFY(pages.back()->answer.contains("\r\n\r\n"));
        statuses << QString::fromLatin1(pages.back()->status().mid(9, 3));
    }
    QCOMPARE(statuses.join(' '), QString("101 101 101 503 101 503")); // three for .77, one for .78, four in all
}

void HostileClientsTest::stalledRequests_giveTheirPlaces()
{
    // Every request place held by connections that never finish their
    // request, from as many addresses as it takes: a page from a new address
    // is served all the same, in the place of the oldest.
    WebLimits limits = smallLimits();
    limits.requestMs = 60000; // none goes of its own while this runs
    server = std::make_unique<WebServer>(periodix::steadyClock(), limits);
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<RawClient>> stalled;
    for (int i = 0; i < smallLimits().requests; ++i) {
        stalled.push_back(std::make_unique<RawClient>(server->port(), qPrintable(QString("127.0.1.%1").arg(i / 2 + 1))));
        stalled.back()->socket.write("GET / HTTP/1.1\r\n");
        QTRY_COMPARE(server->requestCount(), i + 1);
    }
    RawClient page(server->port(), "127.0.2.1");
    page.socket.write("GET /clock.json HTTP/1.1\r\nHost: x\r\n\r\n");
    QTRY_VERIFY(page.closed());
    QCOMPARE(page.status(), QByteArray("HTTP/1.1 200 OK"));
    QTRY_VERIFY(stalled.front()->closed()); // the oldest gave its place
    QVERIFY(!stalled[1]->closed());
}

void HostileClientsTest::thousandsOfSenders_bounded()
{
    // Clock datagrams from 10,000 addresses: the other clocks are a few,
    // /clock.json stays small and quick, and a new page hears the clock.
    server->receive("p1t10:00", "127.0.0.2:40000");
    for (int i = 0; i < 10000; ++i)
        server->receive("p2t05:00", QString("127.%1.%2.%3:40000").arg(1 + i / 65536).arg(i / 256 % 256).arg(i % 256));
    RawClient tool(server->port());
    QTRY_COMPARE(tool.socket.state(), QAbstractSocket::ConnectedState);
    QElapsedTimer answered;
    answered.start();
    tool.socket.write("GET /clock.json HTTP/1.1\r\nHost: x\r\n\r\n");
    while (!tool.closed() && answered.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    QVERIFY2(answered.elapsed() < 50, qPrintable(QString::number(answered.elapsed())));
    const QByteArray json = tool.answer.mid(tool.answer.indexOf("\r\n\r\n") + 4);
    QVERIFY2(json.size() < 4096 && json.contains("\"moreClocks\":") && json.contains("\"sender\":\"127.0.0.2:40000\""), json);
    QWebSocket page;
    QStringList heard;
    connect(&page, &QWebSocket::textMessageReceived, [&](const QString &m) { heard << m; });
    page.open(QUrl(QString("ws://127.0.0.1:%1/live").arg(server->port())));
    QTRY_VERIFY(!heard.isEmpty());
    QVERIFY(heard.first().contains("\"time\":\"10:00\""));
    servesPage();
}

void HostileClientsTest::burst_readingPagesHearTheEnd()
{
    // 64 pages that read, and 2,000 datagrams that each change the clock in
    // a burst: every page hears the last state, none is dropped.
    WebLimits limits;
    limits.perAddress = 64;
    server = std::make_unique<WebServer>(periodix::steadyClock(), limits);
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<QWebSocket>> pages;
    std::vector<QString> last(64);
    for (int i = 0; i < 64; ++i) {
        pages.push_back(std::make_unique<QWebSocket>());
        connect(pages.back().get(), &QWebSocket::textMessageReceived, [&last, i](const QString &m) { last[i] = m; });
        pages.back()->open(QUrl(QString("ws://127.0.0.1:%1/live").arg(server->port())));
    }
    QTRY_COMPARE(server->browserCount(), 64);
    for (int i = 0; i < 2000; ++i) {
        server->receive(QStringLiteral("p%1t05:00").arg(i + 1).toLatin1(), "127.0.0.2:40000");
        if (i % 10 == 0)
            QCoreApplication::processEvents();
    }
    QTRY_VERIFY(std::all_of(last.begin(), last.end(), [](const QString &m) { return m.contains("\"period\":2000"); }));
    QCOMPARE(server->browserCount(), 64);
}

void HostileClientsTest::slowPage_framesAtOnceAndInOrder()
{
    // A page's message is in its connection when the server has published,
    // before another turn of the event loop; a page that falls behind and
    // reads again gets whole frames in order, ending with the clock's state.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const sockaddr_in to{AF_INET, htons(server->port()), {htonl(INADDR_LOOPBACK)}, {}};
    QCOMPARE(::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to), 0);
    const QByteArray request = handshake(server->port());
    ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
    QTRY_COMPARE(server->browserCount(), 1);
    QByteArray stream;
    const auto take = [&] {
        char buffer[65536];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            stream.append(buffer, n);
    };
    QTRY_VERIFY((take(), stream.contains('}')));
    stream.clear();
    server->receive("p1t04:00", "127.0.0.2:40000");
    QCoreApplication::sendPostedEvents(server.get(), QEvent::MetaCall); // the publication, and no socket's turn
    take();
    QVERIFY2(stream.startsWith("\x81") && stream.contains("\"period\":1"), stream.constData());
    // Unread, until some waits in the server beside what the kernel holds;
    // then, read, and a message published before the server's next turn.
    const auto *connection = server->findChild<LiveSocket *>();
    int last = 1;
    while (connection->bytesToWrite() == 0 && last < 5000) {
        server->receive(QStringLiteral("p%1t04:00").arg(++last).toLatin1(), "127.0.0.2:40000");
        QCoreApplication::processEvents();
    }
    take();
    server->receive(QStringLiteral("p%1t04:00").arg(++last).toLatin1(), "127.0.0.2:40000");
    QCoreApplication::sendPostedEvents(server.get(), QEvent::MetaCall);
    QTRY_VERIFY((take(), stream.contains("\"period\":" + QByteArray::number(last) + ',')));
    int period = 0;
    for (qsizetype at = 0; at + 1 < stream.size();) {
        const int length = quint8(stream[at + 1]) == 126 ? quint8(stream[at + 2]) << 8 | quint8(stream[at + 3])
                                                          : quint8(stream[at + 1]);
        const qsizetype head = quint8(stream[at + 1]) == 126 ? 4 : 2;
        QCOMPARE(quint8(stream[at]), quint8(0x81));
        const QJsonObject message = QJsonDocument::fromJson(stream.mid(at + head, length)).object();
        QVERIFY(message.value("period").toInt() >= period);
        period = message.value("period").toInt();
        at += head + length;
    }
    QCOMPARE(period, last);
    ::close(fd);
}

void HostileClientsTest::noDescriptorToTakeOver_pageGoes()
{
    // Taking a page's connection over needs one more descriptor for a
    // moment; without one the page goes, and its place is free again.
    dupFault = EMFILE;
    RawClient page(server->port());
    page.socket.write(handshake(server->port()));
    QTRY_VERIFY(page.closed());
    dupFault = 0;
    QTRY_COMPARE(server->browserCount(), 0);
    servesPage();
}

void HostileClientsTest::nonReadingPage_dropped_data()
{
    QTest::addColumn<bool>("pings"); // it sends pings; else the clock changes fast
    QTest::newRow("a ping flood") << true;
    QTest::newRow("a datagram flood") << false;
}

void HostileClientsTest::nonReadingPage_dropped()
{
    // A page that never reads what it is sent (the pongs to its pings, or
    // the clock): what waits for it grows until it is dropped, not for ever.
    QFETCH(bool, pings);
    // Its receive buffer is small before it connects, so that the kernel
    // does not grow it and take megabytes in its place.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server->port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
    QTcpSocket page;
    page.setReadBufferSize(1); // takes nothing in
    QVERIFY(page.setSocketDescriptor(fd));
    page.write(handshake(server->port()));
    QTRY_COMPARE(server->browserCount(), 1);
    const QByteArray ping = QByteArray("\x89\xfd") + QByteArray(4, '\0') + QByteArray(125, 'p'); // masked with zeros
    for (int i = 0; i < (pings ? 20000 : 100000) && server->browserCount() == 1; ++i) {
        if (pings)
            page.write(ping);
        else
            server->receive(QStringLiteral("p%1t%2:00").arg(i + 1).arg(i % 60, 2, 10, QChar(u'0')).toLatin1(), "127.0.0.2");
        if (!pings || i % 100 == 0) // datagrams of one turn make one message
            QCoreApplication::processEvents();
    }
    // Past the cap it has its while to catch up, whatever it sends: not
    // dropped at once for a ping's answer.
    if (pings)
        QCOMPARE(server->browserCount(), 1);
    QTRY_COMPARE(server->browserCount(), 0);
    servesPage();
}

void HostileClientsTest::destroyedWithClientsOpen()
{
    // A request half sent, a handshake half done, a page connected: the server
    // goes first (the sanitizer build sees any use of it afterwards).
    RawClient partial(server->port());
    partial.socket.write("GET / HTTP/1.1\r\nHost: x");
    RawClient shaking(server->port());
    shaking.socket.write(handshake(server->port()).chopped(2));
    QWebSocket browser;
    browser.open(QUrl(QString("ws://127.0.0.1:%1/live").arg(server->port())));
    QTRY_COMPARE(server->browserCount(), 1);
    QTRY_COMPARE(server->requestCount(), 2);
    server.reset();
    QTRY_VERIFY(partial.closed() && browser.state() == QAbstractSocket::UnconnectedState);
}

QTEST_GUILESS_MAIN(HostileClientsTest)
#include "hostile_clients_test.moc"
