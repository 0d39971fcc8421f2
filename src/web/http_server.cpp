#include "web/http_server.h"

namespace periodix::web {

qint64 HttpSocket::writeData(const char *data, qint64 size)
{
    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    if (upgraded_ || !bytes.startsWith("HTTP/1.1 101 "))
        return QTcpSocket::writeData(data, size);
    upgraded_ = true;
    const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
    QByteArray kept;
    for (const QByteArray &line : bytes.left(headEnd < 0 ? bytes.size() : headEnd).split('\n')) {
        const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
        if (name != "server" && !name.startsWith("access-control-"))
            kept += line + '\n';
    }
    kept.chop(1);
    if (headEnd >= 0)
        kept += bytes.mid(headEnd);
    const qint64 written = QTcpSocket::writeData(kept.constData(), kept.size());
    return written == kept.size() ? size : -1;
}

void HttpServer::incomingConnection(qintptr handle)
{
    auto *socket = new HttpSocket(this);
    if (socket->setSocketDescriptor(handle))
        addPendingConnection(socket);
    else
        delete socket;
}

} // namespace periodix::web
