#pragma once

#include "web/websocket_frames.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace periodix::web {

class PagePoller;

// A page's live connection once its handshake was answered: the server's
// side of a WebSocket, as much as the pages need. Qt's QWebSocket (6.4)
// takes unmasked frames from a client, which a server must refuse, and
// answers the handshake with headers of its own; its frames cannot be
// checked from outside, as it reads the socket itself. This one reads every
// frame: a fault closes the connection with its code. It works on the
// connection's descriptor itself, watched with every other page's by one
// poller, and writes at once what the kernel takes.
class LiveSocket : public QObject {
    Q_OBJECT
public:
    // Takes the connection over from the socket, which goes. `maxMessage`
    // bounds what the page may send at once; a page that sends while more
    // than `maxQueued` bytes wait for it does not read the answers, and goes.
    LiveSocket(QTcpSocket *socket, PagePoller &poller, qsizetype maxMessage, qint64 maxQueued,
               QObject *parent = nullptr);
    ~LiveSocket() override;

    // Bytes as they are: the answer to the handshake, before any frame.
    void sendRaw(QByteArrayView bytes) { writeNow(bytes); }
    void sendText(QByteArrayView utf8) { sendFrame(textFrame(utf8)); }
    // A whole frame, made once for every page that hears it.
    void sendFrame(QByteArrayView frame);
    void ping();
    // Cuts the connection at once, without a word.
    void abort();
    qint64 bytesToWrite() const { return waiting_.size(); }

    // The poller's word: the connection can be read (or was closed), written.
    void ready(bool readable, bool writable);

signals:
    void heard(); // a message, a ping or a pong
    // The page went, closed or was closed: once. The connection then ends
    // by itself and deletes itself.
    void gone();

private:
    void writeNow(QByteArrayView bytes);
    void read();
    void flush();
    void close(quint16 code);
    void leave();
    // Lets go of the connection: a reset if the page sent what was not read.
    void end();

    int fd_;
    PagePoller &poller_;
    ClientFrameReader reader_;
    qint64 maxQueued_;
    QByteArray waiting_; // what the kernel did not take yet, in order
    bool closing_ = false; // the Close was said: once it is out, the write side is shut
    bool gone_ = false;
    bool ended_ = false;
    QTimer grace_;
};

} // namespace periodix::web
