#include "web/publisher.h"
#include "web/web_server.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace periodix::web;

namespace {

// A pub/sub server on loopback: the bodies of the POSTs it was sent, each
// answered with `status` unless it holds its answers.
struct PubSub {
    explicit PubSub(quint16 port = 0)
    {
        server.listen(QHostAddress::LocalHost, port);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { read(socket); });
        });
    }
    void read(QTcpSocket *socket)
    {
        in += socket->readAll();
        for (qsizetype end; (end = in.indexOf("\r\n\r\n")) >= 0;) {
            const qsizetype at = in.toLower().indexOf("content-length:");
            const int length = in.mid(at + 15, in.indexOf("\r\n", at) - at - 15).trimmed().toInt();
            if (in.size() < end + 4 + length)
                return;
            bodies.append(in.mid(end + 4, length));
            in.remove(0, end + 4 + length);
            held.append(socket);
        }
        if (!hold)
            answer();
    }
    void answer()
    {
        for (QTcpSocket *socket : std::as_const(held))
            socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: 0\r\n\r\n");
        held.clear();
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/publish").arg(server.serverPort())); }
    QTcpServer server;
    QByteArray in;
    QList<QByteArray> bodies;
    QList<QTcpSocket *> held;
    int status = 201;
    bool hold = false;
};

} // namespace

class PublisherTest : public QObject {
    Q_OBJECT
private slots:
    void onlyTheNewestWaits();
    void failingServer_triedAgainWithTheNewest_data();
    void failingServer_triedAgainWithTheNewest();
    void pauses_data();
    void pauses();
};

void PublisherTest::onlyTheNewestWaits()
{
    PubSub pubsub;
    QNetworkAccessManager network;
    Publisher publisher(pubsub.url(), network);
    pubsub.hold = true;
    publisher.publish("a");
    QTRY_COMPARE(pubsub.bodies.size(), 1);
    publisher.publish("b");
    publisher.publish("c");
    publisher.publish("d");
    pubsub.hold = false;
    pubsub.answer();
    QTRY_COMPARE(pubsub.bodies, (QList<QByteArray>{"a", "d"}));
    QTRY_VERIFY(pubsub.held.isEmpty());
    QVERIFY(!publisher.failing());
}

void PublisherTest::failingServer_triedAgainWithTheNewest_data()
{
    QTest::addColumn<int>("status"); // 0: nothing listening
    QTest::newRow("nothing listening") << 0;
    QTest::newRow("a server error") << 500;
    QTest::newRow("refused") << 403;
}

void PublisherTest::failingServer_triedAgainWithTheNewest()
{
    // periodix-web publishing through a server that fails, then works:
    // /clock.json says so each time, and the newest message gets there.
    QFETCH(int, status);
    auto pubsub = std::make_unique<PubSub>();
    const QUrl url = pubsub->url();
    pubsub->status = status;
    if (status == 0)
        pubsub.reset();
    WebServer web;
    QVERIFY(web.listen(QHostAddress::LocalHost, 0));
    QNetworkAccessManager network;
    const auto publishing = [&] {
        QNetworkReply *reply = network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/clock.json").arg(web.port()))));
        QSignalSpy done(reply, &QNetworkReply::finished);
        done.wait(2000);
        reply->deleteLater();
        const QByteArray json = reply->readAll();
        const qsizetype at = json.indexOf("\"publish\":");
        return at < 0 ? QByteArray() : json.mid(at);
    };
    QCOMPARE(publishing(), QByteArray()); // not publishing: not said
    web.publishTo(url);
    web.receive("p1t10:00", "127.0.0.2:40000");
    QTRY_COMPARE(publishing(), QByteArray("\"publish\":\"failing\"}"));
    web.receive("p3t07:00", "127.0.0.2:40000");
    if (!pubsub)
        pubsub = std::make_unique<PubSub>(quint16(url.port()));
    pubsub->status = 201;
    QTRY_VERIFY(!pubsub->bodies.isEmpty() && pubsub->bodies.last().contains("\"period\":3"));
    QTRY_COMPARE(publishing(), QByteArray("\"publish\":\"ok\"}"));
}

void PublisherTest::pauses_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("the first") << 1 << 250;
    QTest::newRow("the second") << 2 << 500;
    QTest::newRow("the sixth: the longest") << 6 << 8000;
    QTest::newRow("the seventh: no longer") << 7 << 8000;
}

void PublisherTest::pauses()
{
    QFETCH(int, failures);
    QFETCH(int, pauseMs);
    QCOMPARE(Publisher::pauseMs(failures), pauseMs);
}

QTEST_GUILESS_MAIN(PublisherTest)
#include "publisher_test.moc"
