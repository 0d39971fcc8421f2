#pragma once

#include "feed/clock_feed.h"
#include "platform/monotonic_clock.h"
#include "web/page_poller.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;
class QNetworkAccessManager;

namespace periodix::web {

class LiveSocket;
class Publisher;

// What periodix-web lets browsers and clients take of it.
struct WebLimits {
    int browsers = 64;           // live pages connected at once
    int requests = 128;          // connections still sending their request, at once
    int perAddress = 8;          // of each of the two, from one address
    int queuedBytes = 64 * 1024; // waiting to be sent to one client; a page kept past it...
    int overQueuedMs = 2000;     // ...this long goes (nothing more is queued for it meanwhile)
    int headBytes = 8192;        // a request head
    int requestMs = 10'000;      // to send a whole request head, or take an answer
    int aliveMs = 1000;          // live pages hear the clock at least this often
    int pingMs = 10'000;         // live pages are pinged this often...
    int silentMs = 30'000;       // ...and dropped after this long without a word
};

// Serves the page, /clock.json and the page's live updates on one HTTP port.
// Only GET and HEAD of the fixed routes answer; nothing a browser sends
// changes anything. Every connection is bounded in number (also from one
// address), in what it sends and what waits to be sent to it, and in time, so
// no client can stop it, crowd others out or make it grow: when every request
// place is taken, the oldest request still being sent gives its place to the
// newcomer. Pages hear of the clock once per turn of the event loop however
// many datagrams came in it, and of other clocks only with the once-a-second
// word that periodix-web is alive. Behind a reverse proxy, the proxy's
// X-Forwarded-For names the client and its X-Forwarded-Proto the scheme.
class WebServer : public QObject {
    Q_OBJECT
public:
    explicit WebServer(MonotonicClock &clock = steadyClock(), WebLimits limits = {}, feed::FeedSettings settings = {},
                       QObject *parent = nullptr);
    ~WebServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    // A reverse proxy in front: its connections are its clients', named by
    // the last address of X-Forwarded-For.
    void setTrustedProxy(const QHostAddress &proxy) { proxy_ = proxy; }
    quint16 port() const { return http_.serverPort(); }
    QString errorString() const { return http_.errorString(); }

    // One datagram of the clock as it arrived: the pages hear of it at once.
    void receive(const QByteArray &bytes, const QString &sender);
    void receiveFeed(const QByteArray &bytes, const QString &sender);

    // Everything the pages hear goes to this pub/sub server too; /clock.json
    // then says whether publishing works.
    void publishTo(const QUrl &url);

    int browserCount() const { return int(browsers_.size()); }
    int requestCount() const { return int(requests_.size()); }

private:
    void acceptRequest();
    void readRequest(QTcpSocket *socket);
    // Answers the handshake and takes the connection as a live page's.
    void acceptBrowser(QTcpSocket *socket, qsizetype headSize, const QByteArray &accept, const QString &client);
    bool fromProxy(const QTcpSocket *socket) const;
    void answer(QTcpSocket *socket, int status, const QByteArray &type, const QByteArray &body, bool withBody);
    // Sends, unless too much waits for the browser already; one that stays
    // so goes.
    void send(LiveSocket *browser, const QByteArray &frame);
    void publishSoon();
    // Sends the clock to every page when it has changed, or when the pages
    // have heard nothing for a while: a page that hears nothing knows its
    // connection has stalled.
    void publish();
    void keepBrowsersAlive();
    qint64 nowMs() const { return clock_.nowNs() / 1'000'000; }

    MonotonicClock &clock_;
    WebLimits limits_;
    feed::ClockFeed feed_;
    QTcpServer http_;
    PagePoller poller_;
    struct Browser {
        qint64 heardMs;         // when it last said anything
        QString client;         // its address, or its proxy's client
        qint64 overQueuedMs = -1; // since when too much waits for it
    };
    struct Request {
        QString client;
        quint64 order; // connections are numbered as they come
    };
    QHostAddress proxy_;
    QHash<QTcpSocket *, Request> requests_;
    quint64 requestsCome_ = 0;
    QHash<LiveSocket *, Browser> browsers_;
    QByteArray published_; // the followed clock as last published, other clocks left out
    qint64 publishedMs_ = -1;
    bool publishing_ = false; // a publication waits for the end of this turn
    QTimer watch_;     // state changes without a datagram (a lost link), and liveness
    QTimer pinger_;
    QNetworkAccessManager *network_ = nullptr; // made for the first publisher
    QList<Publisher *> publishers_;
};

} // namespace periodix::web
