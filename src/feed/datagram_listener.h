#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

namespace periodix::feed {

// Listens for UDP datagrams, broadcasts included: the clock datagrams on one
// port, the hall feed on another.
class DatagramListener : public QObject {
    Q_OBJECT
public:
    explicit DatagramListener(QObject *parent = nullptr);
    bool listen(const QHostAddress &address, quint16 port) { return bind(clock_, address, port); }
    bool listenFeed(const QHostAddress &address, quint16 port) { return bind(feed_, address, port); }
    quint16 port() const { return clock_.localPort(); }
    quint16 feedPort() const { return feed_.localPort(); }
    QString errorString() const { return clock_.errorString(); }
    QString feedErrorString() const { return feed_.errorString(); }

signals:
    void received(const QByteArray &bytes, const QString &sender);
    void feedReceived(const QByteArray &bytes, const QString &sender);

private:
    static bool bind(QUdpSocket &socket, const QHostAddress &address, quint16 port);
    void readPending(QUdpSocket &socket, bool feed);
    QUdpSocket clock_;
    QUdpSocket feed_;
};

} // namespace periodix::feed
