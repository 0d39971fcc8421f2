#include "web/live_socket.h"

#include "web/page_poller.h"

#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace periodix::web {

namespace {

// What is read from one page at a time: more than a frame's worth.
constexpr qsizetype ReadAheadBytes = 4096;
// A page closed has this long to take the Close; then the connection ends.
constexpr int CloseGraceMs = 1000;

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

} // namespace

LiveSocket::LiveSocket(QTcpSocket *socket, PagePoller &poller, qsizetype maxMessage, qint64 maxQueued, QObject *parent)
    : QObject(parent), fd_(::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0)), poller_(poller),
      reader_(maxMessage), maxQueued_(maxQueued)
{
    // Qt lets go of its descriptor; the connection lives on in this one
    // (the kernel ends it only when its last descriptor closes).
    socket->abort();
    socket->deleteLater();
    grace_.setSingleShot(true);
    connect(&grace_, &QTimer::timeout, this, &LiveSocket::end);
    if (fd_ >= 0)
        poller_.add(fd_, this);
    else // no descriptor left to take it over: the page goes, once the server hears of it
        QMetaObject::invokeMethod(this, &LiveSocket::end, Qt::QueuedConnection);
}

LiveSocket::~LiveSocket()
{
    if (fd_ >= 0) {
        poller_.remove(fd_);
        ::close(fd_);
    }
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

void LiveSocket::abort()
{
    end();
}

void LiveSocket::ready(bool readable, bool writable)
{
    if (writable)
        flush();
    if (readable)
        read();
}

void LiveSocket::writeNow(QByteArrayView bytes)
{
    if (fd_ < 0)
        return;
    // What the kernel takes goes now; only the rest waits, and nothing
    // overtakes what waits.
    qsizetype sent = 0;
    if (waiting_.isEmpty()) {
        const ssize_t n = ::send(fd_, bytes.data(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && !wouldBlock())
            return end();
        sent = n > 0 ? qsizetype(n) : 0;
    }
    if (sent == bytes.size())
        return;
    if (waiting_.isEmpty())
        poller_.wantWrite(fd_, true);
    waiting_.append(bytes.data() + sent, bytes.size() - sent);
}

void LiveSocket::flush()
{
    while (!waiting_.isEmpty()) {
        const ssize_t n = ::send(fd_, waiting_.constData(), size_t(waiting_.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) {
            if (wouldBlock())
                return;
            return end();
        }
        waiting_.remove(0, n);
    }
    poller_.wantWrite(fd_, false);
    if (closing_)
        ::shutdown(fd_, SHUT_WR);
}

void LiveSocket::read()
{
    char buffer[ReadAheadBytes];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && !wouldBlock()))
        return end(); // the page closed, or the connection broke
    // After the last word what the page sends is dropped until it closes.
    if (n < 0 || gone_)
        return;
    for (const ClientWord &word : reader_.take(QByteArrayView(buffer, n))) {
        switch (word.kind) {
        case ClientWord::Ping:
            // Past the cap nothing more is queued for a page, pongs neither;
            // the server drops one that stays there (WebServer::send).
            if (bytesToWrite() <= maxQueued_)
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
        if (fd_ < 0)
            return;
    }
}

void LiveSocket::close(quint16 code)
{
    // The Close goes out first, then the write side is shut, and what the
    // page still sends is read and dropped until it closes too: closed at
    // once with unread data, the kernel would reset the connection, and the
    // page's stack could drop the Close it had not read yet.
    writeNow(closeFrame(code));
    closing_ = true;
    leave();
    if (fd_ < 0)
        return;
    if (waiting_.isEmpty())
        ::shutdown(fd_, SHUT_WR);
    grace_.start(CloseGraceMs);
}

void LiveSocket::leave()
{
    if (gone_)
        return;
    gone_ = true;
    emit gone();
}

void LiveSocket::end()
{
    if (ended_)
        return;
    ended_ = true;
    if (fd_ >= 0) {
        poller_.remove(fd_);
        ::close(fd_);
        fd_ = -1;
    }
    waiting_.clear();
    grace_.stop();
    leave();
    deleteLater();
}

} // namespace periodix::web
