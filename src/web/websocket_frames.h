#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace periodix::web {

// The close codes periodix-web gives.
enum CloseCode : quint16 {
    NormalClosure = 1000,
    ProtocolError = 1002,
    InvalidText = 1007,
    MessageTooBig = 1009,
};

// What a client said, one whole thing at a time.
struct ClientWord {
    enum Kind { Message, Ping, Pong, Close, Fault };
    Kind kind = Message;
    QByteArray payload; // a whole message, or a ping's payload
    quint16 code = 0;   // Close: the client's code (1005 when it gave none); Fault: the one to close with
};

// Reads what a browser sends on a WebSocket (RFC 6455, no extensions): every
// frame masked, control frames short and whole, a message in order and
// within its size, text in UTF-8. The first fault ends the reading with the
// code to close with; so does the client's Close. Holds at most one frame
// head and one message.
class ClientFrameReader {
public:
    explicit ClientFrameReader(qsizetype maxMessage) : maxMessage_(quint64(maxMessage)) {}

    // Takes the next bytes the client sent; gives what they completed, in order.
    QList<ClientWord> take(QByteArrayView bytes);

private:
    void fail(QList<ClientWord> &words, quint16 code);

    quint64 maxMessage_;
    QByteArray buffer_;  // the frame not yet whole
    QByteArray message_; // the message so far, while it comes in fragments
    int messageOpcode_ = 0; // text or binary while a message is open
    bool ended_ = false;
};

// Frames as the server sends them: whole, unmasked.
QByteArray textFrame(QByteArrayView utf8);
QByteArray pingFrame();
QByteArray pongFrame(QByteArrayView payload);
QByteArray closeFrame(quint16 code);

// The Sec-WebSocket-Accept for a handshake's key; empty for a key that is
// not 16 bytes in base64.
QByteArray acceptKey(const QByteArray &key);

} // namespace periodix::web
