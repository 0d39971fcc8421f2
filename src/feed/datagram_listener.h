#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

namespace periodix::feed {

// Listens for UDP datagrams, broadcasts included, on one port.
class DatagramListener : public QObject {
    Q_OBJECT
public:
    explicit DatagramListener(QObject *parent = nullptr);
    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return socket_.localPort(); }
    QString errorString() const { return socket_.errorString(); }

signals:
    void received(const QByteArray &bytes, const QString &sender);

private:
    void readPending();
    QUdpSocket socket_;
};

} // namespace periodix::feed
