#pragma once

#include <QTcpServer>
#include <QTcpSocket>

namespace periodix::web {

// A connection of periodix-web. Qt's WebSocket server answers a handshake
// with a Server banner and CORS headers of its own (fixed in Qt 6.4, and
// meaningless for a WebSocket); they are taken out of the 101 answer as it
// is written, so that the upgrade says no more than the standard asks.
class HttpSocket : public QTcpSocket {
    Q_OBJECT
public:
    using QTcpSocket::QTcpSocket;

protected:
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool upgraded_ = false;
};

// Makes every connection an HttpSocket.
class HttpServer : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr handle) override;
};

} // namespace periodix::web
