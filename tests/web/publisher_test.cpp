#include "web/publisher.h"

#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace periodix::web;

namespace {

// A pub/sub server on loopback: the bodies it was posted, each answered
// with `status` (-1: never).
struct PubSub : QTcpServer {
    explicit PubSub(quint16 port = 0)
    {
        listen(QHostAddress::LocalHost, port);
        connect(this, &QTcpServer::newConnection, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, [this, socket] {
                in += socket->readAll();
                for (qsizetype end; (end = in.indexOf("\r\n\r\n")) >= 0;) {
                    const qsizetype at = in.toLower().indexOf("content-length:") + 15;
                    const int length = in.mid(at, in.indexOf("\r\n", at) - at).trimmed().toInt();
                    if (in.size() < end + 4 + length)
                        return;
                    bodies.append(in.mid(end + 4, length));
                    in.remove(0, end + 4 + length);
                    if (status > 0)
                        socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: 0\r\n\r\n");
                }
            });
        });
    }
    QByteArray in;
    QList<QByteArray> bodies;
    int status = 201;
};

} // namespace

class PublisherTest : public QObject {
    Q_OBJECT
private slots:
    void failingServer_newestGetsThere_data();
    void failingServer_newestGetsThere();
};

void PublisherTest::failingServer_newestGetsThere_data()
{
    QTest::addColumn<int>("status"); // 0: nothing listening
    QTest::newRow("nothing listening") << 0;
    QTest::newRow("no answer") << -1; // for Publisher::AnswerMs
    QTest::newRow("a server error") << 500;
    QTest::newRow("refused") << 403;
}

void PublisherTest::failingServer_newestGetsThere()
{
    // A server that fails, then works: failing is said until it works again,
    // and of what came meanwhile only the newest goes.
    QFETCH(int, status);
    auto pubsub = std::make_unique<PubSub>();
    const quint16 port = pubsub->serverPort();
    pubsub->status = status;
    if (status == 0)
        pubsub.reset();
    QNetworkAccessManager network;
    Publisher publisher(QUrl(QStringLiteral("http://127.0.0.1:%1/pub").arg(port)), network);
    publisher.publish("1");
    QTRY_VERIFY_WITH_TIMEOUT(publisher.failing(), Publisher::AnswerMs + 2000);
    publisher.publish("2");
    publisher.publish("3");
    if (!pubsub)
        pubsub = std::make_unique<PubSub>(port);
    pubsub->status = 201;
    QTRY_VERIFY_WITH_TIMEOUT(!publisher.failing(), 10'000);
    publisher.publish("4");
    QTRY_COMPARE(pubsub->bodies.last(), QByteArray("4"));
    QCOMPARE(pubsub->bodies.count("3"), 1); // sent once it got there, never again
    QVERIFY(!pubsub->bodies.contains("2"));
    // The pause after each failure in a row: doubling, then no longer.
    QCOMPARE(Publisher::pauseMs(1), 250);
    QCOMPARE(Publisher::pauseMs(6), 8000);
    QCOMPARE(Publisher::pauseMs(7), 8000);
}

QTEST_GUILESS_MAIN(PublisherTest)
#include "publisher_test.moc"
