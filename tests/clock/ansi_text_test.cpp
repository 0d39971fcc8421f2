#include "clock/ansi_text.h"

#include <QtTest>

using namespace periodix;

class AnsiTextTest : public QObject {
    Q_OBJECT
private slots:
    void everyByte_roundTrips();
    void windows1252_characters();
    void legendCharacters_data();
    void legendCharacters();
};

void AnsiTextTest::everyByte_roundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeAnsi(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(encodeAnsi(text), all);
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256); // one character a byte
}

void AnsiTextTest::windows1252_characters()
{
    QCOMPARE(decodeAnsi("\x80"), QString(QChar(0x20AC)));
    QCOMPARE(decodeAnsi("\x9f"), QString(QChar(0x0178)));
    QCOMPARE(decodeAnsi("\xe9"), QString(QChar(0x00E9)));
    QCOMPARE(encodeAnsi(QString(QChar(0x2019))), QByteArray("\x92"));
    QCOMPARE(encodeAnsi(QString(QChar(0x4E2D))), QByteArray("?"));
}

void AnsiTextTest::legendCharacters_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("letter") << int('A') << true;
    QTest::newRow("blank") << int(' ') << true;
    QTest::newRow("e acute") << 0xE9 << true;
    QTest::newRow("euro") << 0x20AC << true;
    QTest::newRow("tab") << 9 << false;
    QTest::newRow("CR") << 13 << false;
    QTest::newRow("LF") << 10 << false;
    QTest::newRow("DEL") << 0x7F << false;
    QTest::newRow("C1 control") << 0x81 << false;
    QTest::newRow("outside code page") << 0x4E2D << false;
}

void AnsiTextTest::legendCharacters()
{
    QFETCH(int, code);
    QFETCH(bool, allowed);
    QCOMPARE(isLegendCharacter(QChar(code)), allowed);
}

QTEST_GUILESS_MAIN(AnsiTextTest)
#include "ansi_text_test.moc"
