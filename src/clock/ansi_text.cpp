#include "clock/ansi_text.h"

#include <array>

namespace periodix {

namespace {

// Bytes 0x80-0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QChar fromByte(uchar b)
{
    return (b >= 0x80 && b <= 0x9F) ? QChar(High[b - 0x80]) : QChar(b);
}

// The byte of a character, or -1 when the code page has none.
int toByte(QChar c)
{
    const char16_t u = c.unicode();
    for (int i = 0; i < int(High.size()); ++i) {
        if (High[i] == u)
            return 0x80 + i;
    }
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    return -1;
}

} // namespace

QString decodeAnsi(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = fromByte(static_cast<uchar>(bytes[i]));
    return text;
}

QByteArray encodeAnsi(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = toByte(text[i]);
        bytes[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return bytes;
}

bool isAnsiCharacter(QChar c)
{
    return toByte(c) >= 0;
}

bool isLegendCharacter(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F))
        return false;
    return isAnsiCharacter(c);
}

} // namespace periodix
