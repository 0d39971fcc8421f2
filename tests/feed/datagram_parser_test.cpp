#include "protocol/clock_datagram.h"
#include "protocol/hall_feed.h"
#include "feed/listen_options.h"

#include <QtTest>

using namespace periodix::protocol;

class DatagramParserTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void hallFeed_data();
    void hallFeed();
    void clockOption_data();
    void clockOption();
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

void DatagramParserTest::hallFeed_data()
{
    // A feed as Periodix sends it, with one change; what is read of it, or
    // nothing for a datagram no feed.
    QTest::addColumn<QString>("change"); // "FROM=>TO|..." in the datagram below
    QTest::addColumn<QString>("read");   // "state period/periods legend length clock time #seq"
    QTest::newRow("as sent") << "" << "running 2/4 2nd Half 600 443.2 07:24 #1234";
    QTest::newRow("counting up, ended") << R"("countdown"=>"countup"|running=>ended)"
                                        << "ended 2/4 2nd Half 600 443.2 07:24 #1234 up";
    QTest::newRow("a legend in UTF-8, escaped") << R"("2nd Half"=>"\u00dcber \"OT\"")"
                                                << R"(running 2/4 Über "OT" 600 443.2 07:24 #1234)";
    QTest::newRow("the last period") << R"("period":2=>"period":4)" << "running 4/4 2nd Half 600 443.2 07:24 #1234";
    QTest::newRow("a period past the count") << R"("period":2=>"period":5)" << "";
    QTest::newRow("period 0") << R"("period":2=>"period":0)" << "";
    QTest::newRow("periods past 16 bits") << R"("periods":4=>"periods":32768)" << "";
    QTest::newRow("another version") << R"("v":1=>"v":2)" << "";
    QTest::newRow("seq 0") << R"("seq":1234=>"seq":0)" << "";
    QTest::newRow("seq a fraction") << R"("seq":1234=>"seq":12.5)" << "";
    QTest::newRow("an empty game") << R"("game":"9f2c0a1b"=>"game":"")" << "";
    QTest::newRow("an unknown state") << R"(running=>counting)" << "";
    QTest::newRow("no time") << R"(,"time":"07:24"=>)" << "";
    QTest::newRow("a time no clock shows") << R"("07:24"=>"7:24")" << "";
    QTest::newRow("a length past 32 bits") << R"("length":600=>"length":2147483648)" << "";
    QTest::newRow("the clock far out of range") << R"("clock":443.2=>"clock":1e300)" << "";
    QTest::newRow("the clock just past 32 bits") << R"("clock":443.2=>"clock":2147483648)" << "";
    QTest::newRow("a legend too long") << QString(R"("2nd Half"=>"%1")").arg(QString(256, u'x')) << "";
    QTest::newRow("1 KiB") << "pad=1024" << "running 2/4 2nd Half 600 443.2 07:24 #1234";
    QTest::newRow("over 1 KiB") << "pad=1025" << "";
    QTest::newRow("an array") << R"({=>[{|}=>}])" << "";
    QTest::newRow("not JSON") << R"({=>pause)" << "";
}

void DatagramParserTest::hallFeed()
{
    QFETCH(QString, change);
    QFETCH(QString, read);
    QString bytes = R"({"v":1,"seq":1234,"game":"9f2c0a1b","state":"running","period":2,"periods":4,)"
                    R"("legend":"2nd Half","timer":"countdown","length":600,"clock":443.2,"time":"07:24","extra":0})";
    for (const QString &one : change.split(u'|', Qt::SkipEmptyParts)) {
        if (one.contains("=>"))
            bytes.replace(one.section("=>", 0, 0), one.section("=>", 1));
    }
    if (change.startsWith("pad=")) // "extra" made long enough for the datagram to be that long
        bytes.replace(R"("extra":0)", R"("extra":")" + QString(change.mid(4).toInt() - bytes.size() - 1, u'x') + '"');
    const std::optional<HallFeed> feed = parseHallFeed(bytes.toUtf8());
    QString text;
    if (feed) {
        text = QString("%1 %2/%3 %4 %5 %6.%7 %8 #%9")
                   .arg(runName(feed->clock.run))
                   .arg(feed->clock.period)
                   .arg(feed->clock.periods)
                   .arg(feed->clock.legend)
                   .arg(feed->clock.length)
                   .arg(feed->clockTenths / 10)
                   .arg(feed->clockTenths % 10)
                   .arg(feed->time)
                   .arg(feed->seq)
               + (feed->clock.countdown ? "" : " up");
        QCOMPARE(feed->clock.seconds, 444);
    }
    QCOMPARE(text, read);
}

// --from: the clock a companion follows, as its datagrams name their sender.
void DatagramParserTest::clockOption_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clock"); // or the error
    QTest::newRow("an address") << "127.0.0.3" << "127.0.0.3";
    QTest::newRow("with a port") << "127.0.0.3:40000" << "127.0.0.3:40000";
    QTest::newRow("IPv6") << "::1" << "::1";
    QTest::newRow("IPv6 with a port") << "[::1]:40000" << "[::1]:40000";
    QTest::newRow("IPv6 with no port after the colon") << "[::1]:" << "not an address";
    QTest::newRow("port 0") << "127.0.0.3:0" << "no such port: 0";
    QTest::newRow("port 65536") << "[::1]:65536" << "no such port: 65536";
    QTest::newRow("no address") << ":40000" << "no address";
}

void DatagramParserTest::clockOption()
{
    QFETCH(QString, text);
    QFETCH(QString, clock);
    periodix::feed::ClockId read;
    QString error;
    QCOMPARE(periodix::feed::parseClock(text, read, error) ? read.name() : error, clock);
}

QTEST_GUILESS_MAIN(DatagramParserTest)
#include "datagram_parser_test.moc"
