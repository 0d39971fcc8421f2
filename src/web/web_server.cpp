#include "web/web_server.h"

#include "web/clock_json.h"
#include "web/http_request.h"

#include <QFile>
#include <QTcpSocket>
#include <QWebSocket>

// The page lives in this static library's resources, which need starting by hand.
static void initWebResources()
{
    Q_INIT_RESOURCE(web);
}

namespace periodix::web {

namespace {

const char *const AnsweredProperty = "periodixAnswered";

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// The page is built into the program; nothing is read from disk.
const QByteArray &page()
{
    static const QByteArray bytes = [] {
        initWebResources();
        QFile file(QStringLiteral(":/web/page.html"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

const QByteArray PlainText = "text/plain; charset=utf-8";

} // namespace

WebServer::WebServer(MonotonicClock &clock, WebLimits limits, feed::FeedSettings settings, QObject *parent)
    : QObject(parent), clock_(clock), limits_(limits), feed_(std::move(settings)),
      live_(QStringLiteral("periodix-web"), QWebSocketServer::NonSecureMode)
{
    live_.setHandshakeTimeout(limits_.requestMs);
    connect(&http_, &QTcpServer::newConnection, this, &WebServer::acceptRequest);
    connect(&live_, &QWebSocketServer::newConnection, this, &WebServer::acceptBrowser);
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, &WebServer::publish);
    watch_.start();
    pinger_.setInterval(limits_.pingMs);
    connect(&pinger_, &QTimer::timeout, this, &WebServer::keepBrowsersAlive);
    pinger_.start();
}

WebServer::~WebServer()
{
    const auto browsers = browsers_.keys();
    browsers_.clear();
    for (QWebSocket *browser : browsers)
        delete browser;
}

bool WebServer::listen(const QHostAddress &address, quint16 port)
{
    return http_.listen(address, port);
}

void WebServer::receive(const QByteArray &bytes, const QString &sender)
{
    feed_.receive(bytes, sender, nowMs());
    publish();
}

void WebServer::acceptRequest()
{
    while (QTcpSocket *socket = http_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (requests_.size() >= limits_.requests) {
            socket->abort();
            continue;
        }
        requests_.insert(socket);
        // A client holds at most one request head in memory here.
        socket->setReadBufferSize(limits_.headBytes + 1);
        connect(socket, &QObject::destroyed, this, [this, socket] { requests_.remove(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        // Sending the request and taking the answer have a deadline, so a
        // half-open connection cannot hold its place for ever.
        auto *deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("deadline"));
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
        deadline->start(limits_.requestMs);
    }
}

void WebServer::readRequest(QTcpSocket *socket)
{
    if (socket->property(AnsweredProperty).toBool())
        return;
    const QByteArray data = socket->peek(limits_.headBytes + 1);
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0) {
        if (data.size() > limits_.headBytes)
            answer(socket, 431, PlainText, "Request too large\n", true);
        return;
    }
    const QByteArray head = data.left(end + 4);
    const HttpRequest request = parseRequestHead(head);
    const bool get = request.method == "GET";
    const bool withBody = request.method != "HEAD";
    if (!request.valid) {
        answer(socket, 400, PlainText, "Bad request\n", true);
    } else if (!get && request.method != "HEAD") {
        answer(socket, 405, PlainText, "Only GET and HEAD\n", withBody);
    } else if (!request.header("content-length").isEmpty() && request.header("content-length") != "0") {
        answer(socket, 400, PlainText, "A GET takes no body\n", withBody);
    } else if (!request.header("transfer-encoding").isEmpty()) {
        answer(socket, 400, PlainText, "A GET takes no body\n", withBody);
    } else if (request.path == "/live") {
        if (!get || !request.wantsWebSocket()) {
            answer(socket, 400, PlainText, "WebSocket only\n", withBody);
        } else if (browsers_.size() >= limits_.browsers) {
            answer(socket, 503, PlainText, "Too many browsers\n", true);
        } else {
            // The WebSocket server reads the same request head from the socket.
            requests_.remove(socket);
            socket->disconnect();
            delete socket->findChild<QTimer *>(QStringLiteral("deadline"));
            socket->setReadBufferSize(0);
            live_.handleConnection(socket);
            emit socket->readyRead();
        }
    } else if (request.path == "/" || request.path == "/index.html") {
        answer(socket, 200, "text/html; charset=utf-8", page(), withBody);
    } else if (request.path == "/clock.json") {
        answer(socket, 200, "application/json", clockJson(feed_.state(nowMs()), true), withBody);
    } else {
        answer(socket, 404, PlainText, "Not found\n", withBody);
    }
}

void WebServer::answer(QTcpSocket *socket, int status, const QByteArray &type, const QByteArray &body, bool withBody)
{
    socket->setProperty(AnsweredProperty, true);
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n" +
                          "Content-Type: " + type + "\r\n" +
                          "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                          "Cache-Control: no-store\r\n"
                          "X-Content-Type-Options: nosniff\r\n"
                          "Connection: close\r\n";
    if (status == 405)
        response += "Allow: GET, HEAD\r\n";
    if (type.startsWith("text/html")) {
        response += "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
                    "style-src 'unsafe-inline'; connect-src 'self' ws: wss:\r\n";
    }
    if (type == "application/json")
        response += "Access-Control-Allow-Origin: *\r\n";
    response += "\r\n";
    if (withBody)
        response += body;
    socket->write(response);
    socket->disconnectFromHost();
}

void WebServer::acceptBrowser()
{
    while (QWebSocket *browser = live_.nextPendingConnection()) {
        if (browsers_.size() >= limits_.browsers) {
            browser->abort();
            browser->deleteLater();
            continue;
        }
        browser->setMaxAllowedIncomingFrameSize(1024);
        browser->setMaxAllowedIncomingMessageSize(1024);
        browsers_.insert(browser, nowMs());
        // What a page sends changes nothing; it only shows the page is there.
        const auto heard = [this, browser] {
            if (auto it = browsers_.find(browser); it != browsers_.end())
                *it = nowMs();
        };
        connect(browser, &QWebSocket::textMessageReceived, this, heard);
        connect(browser, &QWebSocket::binaryMessageReceived, this, heard);
        connect(browser, &QWebSocket::pong, this, heard);
        connect(browser, &QWebSocket::disconnected, this, [this, browser] { dropBrowser(browser); });
        browser->sendTextMessage(QString::fromUtf8(clockJson(feed_.state(nowMs()), false)));
    }
}

void WebServer::dropBrowser(QWebSocket *browser)
{
    if (browsers_.remove(browser))
        browser->deleteLater();
}

void WebServer::publish()
{
    const qint64 now = nowMs();
    const QByteArray json = clockJson(feed_.state(now), false);
    if (json == published_ && now - publishedMs_ < limits_.aliveMs)
        return;
    published_ = json;
    publishedMs_ = now;
    const QString message = QString::fromUtf8(json);
    for (auto it = browsers_.cbegin(); it != browsers_.cend(); ++it)
        it.key()->sendTextMessage(message);
}

void WebServer::keepBrowsersAlive()
{
    const qint64 now = nowMs();
    const auto browsers = browsers_.keys();
    for (QWebSocket *browser : browsers) {
        if (now - browsers_.value(browser) > limits_.silentMs)
            browser->abort(); // gone without a word: its place is free again
        else
            browser->ping();
    }
}

} // namespace periodix::web
