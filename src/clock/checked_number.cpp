#include "clock/checked_number.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace periodix {

qint16 cint16(qint64 value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        raiseError(ErrOverflow);
    return static_cast<qint16>(value);
}

qint32 cint32(qint64 value)
{
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        raiseError(ErrOverflow);
    return static_cast<qint32>(value);
}

namespace {
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
} // namespace

qint16 textToInt16(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        raiseError(ErrTypeMismatch);
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (j >= n || !isDigit(text[j]))
            raiseError(ErrTypeMismatch);
        while (j < n && isDigit(text[j]))
            ++j;
        i = j;
    }
    const qsizetype end = i;
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n)
        raiseError(ErrTypeMismatch);

    const QByteArray number = text.mid(start, end - start).toLatin1();
    const double value = std::strtod(number.constData(), nullptr);
    if (!std::isfinite(value) || value < -32769.0 || value > 32768.0)
        raiseError(ErrOverflow);
    // Halves go to the even neighbour: nearbyint follows the default rounding mode.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return cint16(static_cast<qint64>(rounded));
}

qint64 leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    qint64 value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (value > std::numeric_limits<qint64>::max() / 10 - 10)
            break;
        value = value * 10 + (text[i].unicode() - u'0');
    }
    return value;
}

QString formatDigits(qint64 value, int width)
{
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    QString digits = QString::number(magnitude).rightJustified(width, u'0');
    return value < 0 ? u'-' + digits : digits;
}

QString minutesSecondsText(qint64 minutes, qint64 seconds)
{
    return formatDigits(minutes, 2) + u':' + formatDigits(seconds, 2);
}

QString partAt(const QStringList &parts, qint64 index)
{
    if (index < 0 || index >= parts.size())
        raiseError(ErrSubscriptOutOfRange);
    return parts[index];
}

QStringList splitParts(const QString &text, QChar separator)
{
    if (text.isEmpty())
        return {};
    return text.split(separator);
}

} // namespace periodix
