#include "web/web_server.h"

#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include <memory>

using namespace periodix::web;

namespace {

// A raw client on loopback: what it sent and what came back.
struct RawClient {
    explicit RawClient(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { answer += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    QByteArray status() const { return answer.left(answer.indexOf("\r\n")); }
    QTcpSocket socket;
    QByteArray answer;
};

WebLimits smallLimits()
{
    WebLimits limits;
    limits.browsers = 4;
    limits.requests = 8;
    limits.requestMs = 300; // a half-open connection goes after this
    return limits;
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

private:
    void servesPage();
    std::unique_ptr<WebServer> server;
};

void HostileClientsTest::init()
{
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
}

void HostileClientsTest::badRequests_answeredAndClosed_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    static const char handshake[] = "\x16\x03\x01\x02\x00\x01\x00\r\n\r\n"; // TLS where HTTP is due
    QTest::newRow("garbage") << QByteArray(handshake, sizeof handshake - 1) << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: x\n\n\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("unknown path") << QByteArray("GET /admin HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 404 Not Found");
    QTest::newRow("POST") << QByteArray("POST /clock.json HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                          << QByteArray("HTTP/1.1 405 Method Not Allowed");
    QTest::newRow("GET with a body") << QByteArray("GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello")
                                     << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("live without upgrade") << QByteArray("GET /live HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("oversized head") << "GET / HTTP/1.1\r\nX-Filler: " + QByteArray(64 * 1024, 'a') + "\r\n\r\n"
                                    << QByteArray("HTTP/1.1 431 Request Header Fields Too Large");
    QTest::newRow("the data, by HEAD") << QByteArray("HEAD /clock.json HTTP/1.0\r\n\r\n") << QByteArray("HTTP/1.1 200 OK");
}

void HostileClientsTest::badRequests_answeredAndClosed()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    RawClient client(server->port());
    client.socket.write(request);
    QTRY_VERIFY(client.closed());
    QCOMPARE(client.status(), status);
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
    QTRY_COMPARE(server->browserCount(), 4);
    QCOMPARE(browsers.back()->state(), QAbstractSocket::UnconnectedState); // the fifth
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
    server->receive("p3t01:00", "127.0.0.2"); // a sender name only: nothing is sent
    QTRY_COMPARE(heard.size(), 2);
    QVERIFY2(heard[1].contains("\"period\":3") && heard[1].contains("\"time\":\"01:00\""), qPrintable(heard[1]));
    // A message over the size a page may send: that browser goes, the server stays.
    browser.sendTextMessage(QString(64 * 1024, u'x'));
    QTRY_COMPARE(server->browserCount(), 0);
    servesPage();
}

QTEST_GUILESS_MAIN(HostileClientsTest)
#include "hostile_clients_test.moc"
