// Pages behind a TLS proxy: opens N live connections (WebSocket over TLS,
// the proxy's certificate taken as it is), each from a loopback address of
// its own from 127.0.0.10 on, and waits until every one has heard TEXT.
//   live_clients PORT N TEXT SECONDS   prints "M of N heard"; status 0 when all did

#include <QCoreApplication>
#include <QSslSocket>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 5)
        return 2;
    const quint16 port = quint16(QByteArray(argv[1]).toUInt());
    const int count = QByteArray(argv[2]).toInt();
    const QByteArray text = argv[3];
    std::vector<std::unique_ptr<QSslSocket>> pages;
    std::vector<QByteArray> received(static_cast<size_t>(count));
    int heard = 0;
    const auto finish = [&] {
        std::printf("%d of %d heard\n", heard, count);
        app.exit(heard == count ? 0 : 1);
    };
    for (int i = 0; i < count; ++i) {
        auto page = std::make_unique<QSslSocket>();
        QSslSocket *socket = page.get();
        page->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + i)));
        page->setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(socket, &QSslSocket::encrypted, [socket, port] {
            socket->write("GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
        });
        QObject::connect(socket, &QSslSocket::readyRead, [socket, &got = received[size_t(i)], &text, &heard, count, &finish] {
            if (got.contains(text))
                return;
            got += socket->readAll();
            if (got.contains(text) && ++heard == count)
                finish();
        });
        page->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        pages.push_back(std::move(page));
    }
    QTimer::singleShot(QByteArray(argv[4]).toInt() * 1000, finish);
    return app.exec();
}
