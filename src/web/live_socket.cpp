#include "web/live_socket.h"

#include "web/graceful_close.h"

#include <sys/socket.h>

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

void LiveSocket::sendFrame(QByteArrayView frame)
{
    if (!gone_)
        writeNow(frame);
}

void LiveSocket::ping()
{
    if (!gone_)
        writeNow(pingFrame());
}

void LiveSocket::writeNow(QByteArrayView bytes)
{
    // Qt queues every write and sends it on a later turn of the event loop,
    // turning the socket's write notifier on for it and off again; with
    // thousands of pages each turn costs more than the sending, and each
    // page waits for all the others. What the kernel takes goes now; only
    // the rest waits in Qt's buffer, behind which nothing may overtake it.
    qsizetype sent = 0;
    if (socket_->bytesToWrite() == 0 && socket_->state() == QAbstractSocket::ConnectedState) {
        const ssize_t n = ::send(int(socket_->socketDescriptor()), bytes.data(), size_t(bytes.size()),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        sent = n > 0 ? qsizetype(n) : 0;
    }
    // A failure other than a full buffer is Qt's to find and report.
    if (sent < bytes.size())
        socket_->write(bytes.data() + sent, bytes.size() - sent);
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
                writeNow(pongFrame(word.payload));
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
