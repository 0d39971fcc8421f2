#pragma once

#include "web/websocket_frames.h"

#include <QObject>
#include <QTcpSocket>

namespace periodix::web {

// A page's live connection once its handshake was answered: the server's
// side of a WebSocket, as much as the pages need. Qt's QWebSocket (6.4)
// takes unmasked frames from a client, which a server must refuse, and
// answers the handshake with headers of its own; its frames cannot be
// checked from outside, as it reads the socket itself. This one reads every
// frame: a fault closes the connection with its code.
class LiveSocket : public QObject {
    Q_OBJECT
public:
    // Takes the socket over. `maxMessage` bounds what the page may send at
    // once; a page that sends while more than `maxQueued` bytes wait for it
    // does not read the answers, and goes.
    LiveSocket(QTcpSocket *socket, qsizetype maxMessage, qint64 maxQueued, QObject *parent = nullptr);
    ~LiveSocket() override;

    void sendText(QByteArrayView utf8) { sendFrame(textFrame(utf8)); }
    // A whole frame, made once for every page that hears it.
    void sendFrame(QByteArrayView frame);
    void ping();
    // Cuts the connection at once, without a word.
    void abort();
    qint64 bytesToWrite() const { return socket_->bytesToWrite(); }
    QHostAddress peerAddress() const { return socket_->peerAddress(); }

signals:
    void heard(); // a message, a ping or a pong
    // The page went, closed or was closed: once. The connection then ends
    // by itself and deletes itself.
    void gone();

private:
    void writeNow(QByteArrayView bytes);
    void read();
    void close(quint16 code);
    void leave();

    QTcpSocket *socket_;
    ClientFrameReader reader_;
    qint64 maxQueued_;
    bool gone_ = false;
};

} // namespace periodix::web
