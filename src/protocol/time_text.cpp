#include "protocol/time_text.h"

#include <limits>

namespace periodix::protocol {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QString digits(quint64 magnitude, bool negative)
{
    const QString text = QString::number(magnitude).rightJustified(2, u'0');
    return negative ? u'-' + text : text;
}
} // namespace

QString timeText(qint64 seconds)
{
    // Rounded down: -61 is -2 minutes and 59 seconds.
    const qint64 minutes = seconds / 60 - (seconds % 60 < 0 ? 1 : 0);
    const qint64 rest = seconds - minutes * 60;
    const quint64 magnitude = minutes < 0 ? 0 - quint64(minutes) : quint64(minutes);
    return digits(magnitude, minutes < 0) + u':' + digits(quint64(rest), false);
}

std::optional<qint32> readTimeText(QByteArrayView text, qsizetype longest)
{
    const qsizetype n = text.size();
    if (n > longest)
        return std::nullopt;
    qsizetype i = text.startsWith('-') ? 1 : 0;
    const qsizetype minuteStart = i;
    while (i < n && isDigit(text[i]))
        ++i;
    if (i - minuteStart < 2 || i >= n || text[i] != ':' || n - i != 3 || !isDigit(text[i + 1])
        || !isDigit(text[i + 2]) || text[i + 1] > '5')
        return std::nullopt;
    // No more than 18 digits fit; the clock's own never come near.
    if (i - minuteStart > 18)
        return std::nullopt;
    const qint64 minutes = text.sliced(0, i).toByteArray().toLongLong();
    // Minutes rounded down, seconds 0 to 59 on top, as timeText writes them.
    const qint64 seconds = minutes * 60 + (text[i + 1] - '0') * 10 + (text[i + 2] - '0');
    if (seconds < std::numeric_limits<qint32>::min() || seconds > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(seconds);
}

} // namespace periodix::protocol
