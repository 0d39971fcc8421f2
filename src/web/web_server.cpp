#include "web/web_server.h"

#include "web/clock_json.h"
#include "web/graceful_close.h"
#include "web/http_request.h"
#include "web/live_socket.h"
#include "web/publisher.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QTcpSocket>

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
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 426: return "Upgrade Required";
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

// A page sends nothing but its answers to pings: anything longer is not one.
constexpr qsizetype PageMessageBytes = 1024;

// The page runs its one script and nothing else: the script by its hash, so
// that no text the page shows could ever run as code. The page carries its
// policy itself, so that it holds wherever the page is served from (nginx
// serves it as a file); sent as a header here too.
const QByteArray &pagePolicy()
{
    static const QByteArray policy = [] {
        const QByteArray &html = page();
        const QByteArray tag = "<meta http-equiv=\"Content-Security-Policy\" content=\"";
        const qsizetype start = html.indexOf(tag) + tag.size();
        return html.mid(start, html.indexOf('"', start) - start);
    }();
    return policy;
}

// A page's Origin is its scheme and host, as the browser loaded it.
bool sameOrigin(const QByteArray &origin, const QByteArray &scheme, const QByteArray &host)
{
    return origin.toLower() == scheme + "://" + host.toLower();
}

} // namespace

WebServer::WebServer(MonotonicClock &clock, WebLimits limits, feed::FeedSettings settings, QObject *parent)
    : QObject(parent), clock_(clock), limits_(limits), feed_(std::move(settings))
{
    connect(&http_, &QTcpServer::newConnection, this, &WebServer::acceptRequest);
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, &WebServer::publish);
    watch_.start();
    pinger_.setInterval(limits_.pingMs);
    connect(&pinger_, &QTimer::timeout, this, &WebServer::keepBrowsersAlive);
    pinger_.start();
}

WebServer::~WebServer()
{
    // Nothing may call back into this half-destroyed server: every socket
    // still open is cut loose from it first.
    http_.close();
    for (QTcpSocket *socket : http_.findChildren<QTcpSocket *>())
        socket->disconnect(this);
    requests_.clear();
    browsers_.clear();
    // Pages still taking their Close too: each lets go of the poller here.
    for (LiveSocket *browser : findChildren<LiveSocket *>(Qt::FindDirectChildrenOnly)) {
        browser->disconnect(this);
        delete browser;
    }
}

void WebServer::publishTo(const QUrl &url)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    publishers_.append(new Publisher(url, *network_, this));
}

bool WebServer::listen(const QHostAddress &address, quint16 port)
{
    return http_.listen(address, port);
}

void WebServer::receive(const QByteArray &bytes, const QString &sender)
{
    feed_.receive(bytes, sender, nowMs());
    publishSoon();
}

void WebServer::receiveFeed(const QByteArray &bytes, const QString &sender)
{
    if (feed_.receiveFeed(bytes, sender, nowMs()))
        publishSoon();
}

void WebServer::publishSoon()
{
    // All the datagrams read in one turn of the event loop cost each page
    // one message at its end, within a millisecond of the first.
    if (publishing_)
        return;
    publishing_ = true;
    QTimer::singleShot(0, this, [this] {
        publishing_ = false;
        publish();
    });
}

void WebServer::acceptRequest()
{
    while (QTcpSocket *socket = http_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const QString address = feed::addressName(socket->peerAddress());
        const auto fromAddress = [&address](const Request &r) { return r.client == address; };
        // A proxy's connections are many clients': only the whole count binds it.
        if (!fromProxy(socket) && std::count_if(requests_.cbegin(), requests_.cend(), fromAddress) >= limits_.perAddress) {
            socket->abort();
            continue;
        }
        if (requests_.size() >= limits_.requests) {
            // A real request takes milliseconds: the one that has been sending
            // longest is stalled, and its place goes to the newcomer, so that
            // many addresses holding requests open cannot keep a page out.
            const auto oldest = std::min_element(requests_.begin(), requests_.end(),
                                                 [](const Request &a, const Request &b) { return a.order < b.order; });
            QTcpSocket *stalled = oldest.key();
            requests_.erase(oldest);
            stalled->abort();
        }
        requests_.insert(socket, Request{address, ++requestsCome_});
        // No update waits for the acknowledgement of the one before it; and
        // what a client does not read stays small in the kernel too.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, limits_.queuedBytes);
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
        else if (data.contains("\n\n") || data.contains("\n\r\n")) // a head ended by bare LFs: no CR LF will come
            answer(socket, 400, PlainText, "Bad request: lines end with CR LF\n", true);
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
        const bool proxied = fromProxy(socket);
        QString client = requests_.value(socket).client;
        // The proxy names the client (the last address of X-Forwarded-For,
        // the one it added) and the scheme the page was loaded with; the Host
        // is the request's own, whatever other headers claim.
        const QByteArray forwarded = request.header("x-forwarded-for").split(',').last().trimmed();
        const QByteArray scheme = proxied ? request.header("x-forwarded-proto").toLower() : QByteArray("http");
        const QByteArray origin = request.header("origin");
        const QByteArray accept = acceptKey(request.header("sec-websocket-key"));
        const auto fromClient = [&client](const Browser &b) { return b.client == client; };
        if (proxied && !forwarded.isEmpty())
            client = QString::fromLatin1(forwarded);
        if (!get || !request.wantsWebSocket() || accept.isEmpty()) {
            answer(socket, 400, PlainText, "WebSocket only\n", withBody);
        } else if (request.version != "HTTP/1.1") {
            answer(socket, 400, PlainText, "A WebSocket needs HTTP/1.1\n", true);
        } else if (proxied && !forwarded.isEmpty() && QHostAddress(client).isNull()) {
            answer(socket, 400, PlainText, "The forwarded client is no address\n", true);
        } else if (data.size() > end + 4) {
            // A client waits for the answer to its handshake before it sends
            // anything else; what came with it could only be another request.
            answer(socket, 400, PlainText, "Nothing may follow a handshake before its answer\n", true);
        } else if (request.header("sec-websocket-version") != "13") {
            answer(socket, 426, PlainText, "WebSocket version 13 only\n", true);
        } else if (!origin.isEmpty() && !sameOrigin(origin, scheme.isEmpty() ? "http" : scheme, request.host)) {
            // Another site's page may not take the clock; tools send no Origin.
            answer(socket, 403, PlainText, "Another site's page\n", true);
        } else if (browsers_.size() >= limits_.browsers ||
                   std::count_if(browsers_.cbegin(), browsers_.cend(), fromClient) >= limits_.perAddress) {
            answer(socket, 503, PlainText, "Too many browsers\n", true);
        } else {
            acceptBrowser(socket, end + 4, accept, client);
        }
    } else if (request.path == "/" || request.path == "/index.html") {
        answer(socket, 200, "text/html; charset=utf-8", page(), withBody);
    } else if (request.path == "/clock.json") {
        QByteArray json = clockJson(feed_.state(nowMs()), true);
        if (!publishers_.isEmpty()) {
            const bool failing = std::any_of(publishers_.cbegin(), publishers_.cend(),
                                             [](const Publisher *p) { return p->failing(); });
            json.chop(1);
            json += failing ? ",\"publish\":\"failing\"}" : ",\"publish\":\"ok\"}";
        }
        answer(socket, 200, "application/json", json, withBody);
    } else {
        answer(socket, 404, PlainText, "Not found\n", withBody);
    }
}

bool WebServer::fromProxy(const QTcpSocket *socket) const
{
    return !proxy_.isNull() && socket->peerAddress().isEqual(proxy_);
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
    if (status == 426)
        response += "Sec-WebSocket-Version: 13\r\n";
    if (type.startsWith("text/html"))
        response += "Content-Security-Policy: " + pagePolicy() + "\r\n";
    if (type == "application/json")
        response += "Access-Control-Allow-Origin: *\r\n";
    response += "\r\n";
    if (withBody)
        response += body;
    socket->write(response);
    closeGracefully(socket);
}

void WebServer::acceptBrowser(QTcpSocket *socket, qsizetype headSize, const QByteArray &accept, const QString &client)
{
    requests_.remove(socket);
    socket->disconnect(this);
    socket->disconnect(socket);
    delete socket->findChild<QTimer *>(QStringLiteral("deadline"));
    socket->read(headSize);
    auto *browser = new LiveSocket(socket, poller_, PageMessageBytes, limits_.queuedBytes, this);
    // The upgrade says no more than the standard asks: no extension, no
    // subprotocol, no banner.
    browser->sendRaw("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                     "Sec-WebSocket-Accept: " + accept + "\r\n\r\n");
    browsers_.insert(browser, Browser{nowMs(), client});
    // What a page sends changes nothing; it only shows the page is there.
    connect(browser, &LiveSocket::heard, this, [this, browser] {
        if (auto it = browsers_.find(browser); it != browsers_.end())
            it->heardMs = nowMs();
    });
    connect(browser, &LiveSocket::gone, this, [this, browser] { browsers_.remove(browser); });
    send(browser, textFrame(clockJson(feed_.state(nowMs()), false)));
}

void WebServer::send(LiveSocket *browser, const QByteArray &frame)
{
    const auto it = browsers_.find(browser);
    if (it == browsers_.end())
        return;
    // Past the cap nothing more is queued for a page until it has taken half
    // of what waits; one that has not within a while does not read, and its
    // place is free again. One turn's message never counts against it.
    const qint64 queued = browser->bytesToWrite();
    const bool over = queued > (it->overQueuedMs < 0 ? limits_.queuedBytes : limits_.queuedBytes / 2);
    if (!over) {
        it->overQueuedMs = -1;
        browser->sendFrame(frame);
        return;
    }
    const qint64 now = nowMs();
    if (it->overQueuedMs < 0)
        it->overQueuedMs = now;
    else if (now - it->overQueuedMs >= limits_.overQueuedMs)
        browser->abort();
}

void WebServer::publish()
{
    const qint64 now = nowMs();
    const feed::FeedState state = feed_.state(now);
    // Other clocks come and go with every datagram on a busy network: they
    // ride with the word that periodix-web is alive, never alone.
    feed::FeedState followed = state;
    followed.otherClocks.clear();
    followed.moreClocks = 0;
    // The time left moves every moment: it rides with what changes.
    const QByteArray key = clockJson(followed, false, false);
    if (key == published_ && now - publishedMs_ < limits_.aliveMs)
        return;
    published_ = key;
    publishedMs_ = now;
    const QByteArray message = clockJson(state, false);
    for (Publisher *publisher : std::as_const(publishers_))
        publisher->publish(message);
    // One frame for every page: what a page costs is its write alone.
    const QByteArray frame = textFrame(message);
    const auto browsers = browsers_.keys(); // one that goes leaves the list
    for (LiveSocket *browser : browsers)
        send(browser, frame);
}

void WebServer::keepBrowsersAlive()
{
    const qint64 now = nowMs();
    const auto browsers = browsers_.keys();
    for (LiveSocket *browser : browsers) {
        if (now - browsers_.value(browser).heardMs > limits_.silentMs)
            browser->abort(); // gone without a word: its place is free again
        else
            browser->ping();
    }
}

} // namespace periodix::web
