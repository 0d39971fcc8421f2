#include "web/live_socket.h"

#include "web/graceful_close.h"

namespace periodix::web {

namespace {

// What Qt reads ahead of the frames from one page: more than a frame's worth.
constexpr qint64 ReadAheadBytes = 4096;
// A page closed has this long to take the Close; then the connection ends.
constexpr int CloseGraceMs = 1000;

} // namespace

LiveSocket::LiveSocket(QTcpSocket *socket, qsizetype maxMessage, qint64 maxQueued, QObject *parent)
    : QObject(parent), socket_(socket), reader_(maxMessage), maxQueued_(maxQueued)
{
    socket_->setParent(this);
    socket_->setReadBufferSize(ReadAheadBytes);
    connect(socket_, &QTcpSocket::readyRead, this, &LiveSocket::read);
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        leave();
        deleteLater();
    });
}

LiveSocket::~LiveSocket()
{
    // The socket goes with this; its last signals reach nobody.
    socket_->disconnect(this);
}

void LiveSocket::sendText(QByteArrayView utf8)
{
    if (!gone_)
        socket_->write(textFrame(utf8));
}

void LiveSocket::ping()
{
    if (!gone_)
        socket_->write(pingFrame());
}

void LiveSocket::abort()
{
    socket_->abort();
}

void LiveSocket::read()
{
    const QByteArray bytes = socket_->readAll();
    if (gone_)
        return;
    for (const ClientWord &word : reader_.take(bytes)) {
        switch (word.kind) {
        case ClientWord::Ping:
            // Past the cap nothing more is queued for a page, pongs neither;
            // the server drops one that stays there (WebServer::send).
            if (socket_->bytesToWrite() <= maxQueued_)
                socket_->write(pongFrame(word.payload));
            [[fallthrough]];
        case ClientWord::Message:
        case ClientWord::Pong:
            emit heard();
            break;
        case ClientWord::Close:
            close(word.code == 1005 ? quint16(NormalClosure) : word.code);
            return;
        case ClientWord::Fault:
            close(word.code);
            return;
        }
    }
}

void LiveSocket::close(quint16 code)
{
    socket_->write(closeFrame(code));
    leave();
    closeGracefully(socket_, CloseGraceMs);
}

void LiveSocket::leave()
{
    if (gone_)
        return;
    gone_ = true;
    emit gone();
}

} // namespace periodix::web
