#include "clock/checked_number.h"

#include <QtTest>

using namespace periodix;

namespace {
int errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const RuntimeError &e) {
        return e.number;
    }
    return 0;
}
} // namespace

class CheckedNumberTest : public QObject {
    Q_OBJECT
private slots:
    void widths_raiseOverflowOutside();
    void textToInt16_data();
    void textToInt16();
    void leadingNumber_data();
    void leadingNumber();
    void formatDigits_data();
    void formatDigits();
    void boundedArray_raisesSubscriptOutOfRange();
};

void CheckedNumberTest::widths_raiseOverflowOutside()
{
    QCOMPARE(cint16(32767), qint16(32767));
    QCOMPARE(cint16(-32768), qint16(-32768));
    QCOMPARE(errorOf([] { cint16(32768); }), 6);
    QCOMPARE(errorOf([] { cint16(-32769); }), 6);
    QCOMPARE(cint32(2147483647LL), qint32(2147483647));
    QCOMPARE(errorOf([] { cint32(2147483648LL); }), 6);
    QCOMPARE(errorOf([] { cint32(-2147483649LL); }), 6);
}

void CheckedNumberTest::textToInt16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("error");
    QTest::newRow("plain") << "12" << 12 << 0;
    QTest::newRow("leading zero") << "05" << 5 << 0;
    QTest::newRow("blanks") << "  7 " << 7 << 0;
    QTest::newRow("plus") << "+3" << 3 << 0;
    QTest::newRow("minus") << "-1" << -1 << 0;
    QTest::newRow("2.5 to even") << "2.5" << 2 << 0;
    QTest::newRow("3.5 to even") << "3.5" << 4 << 0;
    QTest::newRow("-2.5 to even") << "-2.5" << -2 << 0;
    QTest::newRow("2.51 up") << "2.51" << 3 << 0;
    QTest::newRow("exponent") << "1e2" << 100 << 0;
    QTest::newRow("top") << "32767" << 32767 << 0;
    QTest::newRow("bottom") << "-32768" << -32768 << 0;
    QTest::newRow("32767.5 rounds over") << "32767.5" << 0 << 6;
    QTest::newRow("too large") << "40000" << 0 << 6;
    QTest::newRow("huge") << QString(400, '9') << 0 << 6;
    QTest::newRow("empty") << "" << 0 << 13;
    QTest::newRow("blank") << "   " << 0 << 13;
    QTest::newRow("word") << "Ask me" << 0 << 13;
    QTest::newRow("trailing text") << "12a" << 0 << 13;
    QTest::newRow("sign alone") << "-" << 0 << 13;
    QTest::newRow("dot alone") << "." << 0 << 13;
}

void CheckedNumberTest::textToInt16()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(int, error);
    int result = 0;
    QCOMPARE(errorOf([&] { result = periodix::textToInt16(text); }), error);
    QCOMPARE(result, value);
}

void CheckedNumberTest::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("1__") << "1__" << qint64(1);
    QTest::newRow("_12") << "_12" << qint64(0);
    QTest::newRow("___") << "___" << qint64(0);
    QTest::newRow("007") << "007" << qint64(7);
    QTest::newRow("999") << "999" << qint64(999);
    QTest::newRow("blanks") << "  42x" << qint64(42);
}

void CheckedNumberTest::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(periodix::leadingNumber(text), value);
}

void CheckedNumberTest::formatDigits_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << qint64(5) << 2 << "05";
    QTest::newRow("12") << qint64(12) << 2 << "12";
    QTest::newRow("200") << qint64(200) << 2 << "200";
    QTest::newRow("-1") << qint64(-1) << 2 << "-01";
    QTest::newRow("1 in three") << qint64(1) << 3 << "001";
    QTest::newRow("min") << qint64(-32768) << 2 << "-32768";
}

void CheckedNumberTest::formatDigits()
{
    QFETCH(qint64, value);
    QFETCH(int, width);
    QFETCH(QString, text);
    QCOMPARE(periodix::formatDigits(value, width), text);
}

void CheckedNumberTest::boundedArray_raisesSubscriptOutOfRange()
{
    BoundedArray<int> a;
    QCOMPARE(errorOf([&] { a(0); }), 9);
    a.redim(3);
    QCOMPARE(a.upperBound(), 3);
    a(3) = 7;
    QCOMPARE(a(3), 7);
    QCOMPARE(errorOf([&] { a(4); }), 9);
    QCOMPARE(errorOf([&] { a(-1); }), 9);
    a.redim(1);
    QCOMPARE(a(1), 0);
    QCOMPARE(errorOf([] { partAt({}, 0); }), 9);
    QVERIFY(splitParts("", ':').isEmpty());
    QCOMPARE(splitParts("1:2:3", ':').size(), 3);
}

QTEST_GUILESS_MAIN(CheckedNumberTest)
#include "checked_number_test.moc"
