#include "web/graceful_close.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace periodix::web {

void closeGracefully(QTcpSocket *socket, int lingerMs)
{
    const auto shutWriting = [socket] {
        if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, shutWriting);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    QTimer::singleShot(lingerMs, socket, [socket] {
        socket->readAll();
        socket->abort();
    });
    shutWriting();
    socket->readAll();
}

} // namespace periodix::web
