#include "platform/udp_sender.h"

#include "error_reporting/runtime_error.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

using namespace periodix;

// Every datagram here goes to the loopback address only.
class UdpSenderTest : public QObject {
    Q_OBJECT
private slots:
    void parseDottedAddress_data();
    void parseDottedAddress();
    void broadcastOnInterface_data();
    void broadcastOnInterface();
    void send_reachesLoopbackReceiverByteForByte();
    void send_enablesBroadcast();
    void send_invalidHost_raisesError();
    void setProtocol_onlyUdp();
    void localIP_isDottedIPv4();
};

void UdpSenderTest::parseDottedAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: no address
    QTest::newRow("leading zeros are decimal") << "127.000.000.001" << "127.0.0.1";
    QTest::newRow("010 is ten") << "127.010.008.009" << "127.10.8.9";
    QTest::newRow("plain") << "127.0.0.255" << "127.0.0.255";
    QTest::newRow("part too large") << "999.1.2.255" << "";
    QTest::newRow("three parts") << "127.0.1" << "";
    QTest::newRow("empty part") << "127..0.1" << "";
    QTest::newRow("letters") << "localhost" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("four digits") << "0127.0.0.1" << "";
}

void UdpSenderTest::parseDottedAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    const auto parsed = periodix::parseDottedAddress(text);
    if (address.isEmpty()) {
        QVERIFY(!parsed);
    } else {
        QVERIFY(parsed);
        QCOMPARE(QHostAddress(*parsed).toString(), address);
    }
}

void UdpSenderTest::broadcastOnInterface_data()
{
    QTest::addColumn<QString>("chosen"); // then the machine's networks, then where it goes
    QTest::newRow("a /24: as chosen") << "192.168.0.255 127.0.0.1/8 192.168.0.10/24 192.168.0.255";
    QTest::newRow("loopback's /8") << "127.0.0.255 127.0.0.1/8 192.168.0.10/24 127.255.255.255";
    QTest::newRow("a /23, its upper half chosen") << "192.168.2.255 192.168.3.4/23 192.168.3.255";
    QTest::newRow("a /24 inside a /16: its own") << "10.1.7.255 10.1.0.1/16 10.1.7.3/24 10.1.7.255";
    QTest::newRow("a host, not a broadcast") << "127.0.0.1 127.0.0.1/8 127.0.0.1";
}

void UdpSenderTest::broadcastOnInterface()
{
    QFETCH(QString, chosen);
    const QStringList words = chosen.split(u' ');
    QList<InterfaceNetwork> machine;
    for (const QString &network : words.mid(1, words.size() - 2)) {
        const auto [address, prefix] = QHostAddress::parseSubnet(network);
        machine.append({address.toIPv4Address(), ~0u << (32 - prefix)});
    }
    const quint32 to = periodix::broadcastOnInterface(QHostAddress(words[0]).toIPv4Address(), machine);
    QCOMPARE(QHostAddress(to).toString(), words.last());
}

void UdpSenderTest::send_reachesLoopbackReceiverByteForByte()
{
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    UdpSender sender;
    sender.setProtocol(DatagramSender::ProtocolUdp);
    sender.setRemoteHost("127.000.000.001");
    sender.setRemotePort(receiver.localPort());
    sender.sendData("p1t10:00");
    sender.sendData("pause");
    QTRY_VERIFY(receiver.hasPendingDatagrams());
    QCOMPARE(receiver.receiveDatagram().data(), QByteArray("p1t10:00"));
    QTRY_VERIFY(receiver.hasPendingDatagrams());
    QCOMPARE(receiver.receiveDatagram().data(), QByteArray("pause"));
}

void UdpSenderTest::send_enablesBroadcast()
{
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    UdpSender sender;
    sender.setRemoteHost("127.0.0.1");
    sender.setRemotePort(receiver.localPort());
    sender.sendData("x");
    QVERIFY(sender.broadcastEnabled());
}

void UdpSenderTest::send_invalidHost_raisesError()
{
    UdpSender sender;
    sender.setRemoteHost("999.0.0.255");
    sender.setRemotePort(7699);
    bool raised = false;
    try {
        sender.sendData("p1t10:00");
    } catch (const RuntimeError &) {
        raised = true;
    }
    QVERIFY(raised);
}

void UdpSenderTest::setProtocol_onlyUdp()
{
    UdpSender sender;
    bool raised = false;
    try {
        sender.setProtocol(0);
    } catch (const RuntimeError &) {
        raised = true;
    }
    QVERIFY(raised);
    QCOMPARE(sender.protocol(), DatagramSender::ProtocolUdp);
}

void UdpSenderTest::localIP_isDottedIPv4()
{
    UdpSender sender;
    QVERIFY(periodix::parseDottedAddress(sender.localIP()).has_value());
}

QTEST_GUILESS_MAIN(UdpSenderTest)
#include "udp_sender_test.moc"
