#include "feed/datagram_parser.h"

#include <QtTest>

using namespace periodix::feed;

class DatagramParserTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void DatagramParserTest::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("time"); // the text, and in seconds as the clock counts them
    const int clock = int(ClockDatagram::Kind::Clock), pause = int(ClockDatagram::Kind::Pause),
              invalid = int(ClockDatagram::Kind::Invalid);
    QTest::newRow("first period") << QByteArray("p1t10:00") << clock << 1 << "10:00 600";
    QTest::newRow("twelfth period") << QByteArray("p12t05:07") << clock << 12 << "05:07 307";
    QTest::newRow("three-digit minutes") << QByteArray("p2t100:00") << clock << 2 << "100:00 6000";
    QTest::newRow("negative") << QByteArray("p1t-02:59") << clock << 1 << "-02:59 -61";
    QTest::newRow("longest") << QByteArray("p32767t-32768:59") << clock << 32767 << "-32768:59 -1966021";
    QTest::newRow("pause") << QByteArray("pause") << pause << 0 << "0";
    QTest::newRow("empty") << QByteArray() << invalid << 0 << "0";
    QTest::newRow("pause with a line end") << QByteArray("pause\n") << invalid << 0 << "0";
    QTest::newRow("Pause") << QByteArray("Pause") << invalid << 0 << "0";
    QTest::newRow("one-digit minutes") << QByteArray("p1t1:00") << invalid << 0 << "0";
    QTest::newRow("one-digit seconds") << QByteArray("p1t10:0") << invalid << 0 << "0";
    QTest::newRow("seconds over 59") << QByteArray("p1t10:60") << invalid << 0 << "0";
    QTest::newRow("no period") << QByteArray("pt10:00") << invalid << 0 << "0";
    QTest::newRow("leading zero period") << QByteArray("p01t10:00") << invalid << 0 << "0";
    QTest::newRow("period too large") << QByteArray("p40000t10:00") << invalid << 0 << "0";
    QTest::newRow("no t") << QByteArray("p1x10:00") << invalid << 0 << "0";
    QTest::newRow("trailing text") << QByteArray("p1t10:00x") << invalid << 0 << "0";
    QTest::newRow("over-long") << QByteArray("p1t" + QByteArray(20, '1') + ":00") << invalid << 0 << "0";
    QTest::newRow("non-ASCII") << QByteArray("p1t10:0\xc3") << invalid << 0 << "0";
    QTest::newRow("NUL inside") << QByteArray("p1t10\0:00", 9) << invalid << 0 << "0";
    QTest::newRow("minus alone") << QByteArray("p1t-:00") << invalid << 0 << "0";
}

void DatagramParserTest::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QFETCH(int, period);
    QFETCH(QString, time);
    const ClockDatagram d = parseDatagram(bytes);
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(d.period, period);
    QCOMPARE(QString("%1 %2").arg(d.time).arg(d.seconds).trimmed(), time);
}

QTEST_GUILESS_MAIN(DatagramParserTest)
#include "datagram_parser_test.moc"
