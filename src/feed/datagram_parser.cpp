#include "feed/datagram_parser.h"

namespace periodix::feed {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

ClockDatagram parseDatagram(const QByteArray &bytes)
{
    ClockDatagram result;
    if (bytes == "pause") {
        result.kind = ClockDatagram::Kind::Pause;
        return result;
    }
    const qsizetype n = bytes.size();
    if (n > LongestDatagram || n < 7 || bytes[0] != 'p')
        return result;

    qsizetype i = 1;
    const qsizetype periodStart = i;
    while (i < n && isDigit(bytes[i]))
        ++i;
    const qsizetype periodDigits = i - periodStart;
    if (periodDigits == 0 || periodDigits > 5 || (periodDigits > 1 && bytes[periodStart] == '0'))
        return result;
    const int period = bytes.mid(periodStart, periodDigits).toInt();
    if (period > 32767 || i >= n || bytes[i] != 't')
        return result;
    ++i;

    const qsizetype timeStart = i;
    if (i < n && bytes[i] == '-')
        ++i;
    const qsizetype minuteStart = i;
    while (i < n && isDigit(bytes[i]))
        ++i;
    if (i - minuteStart < 2 || i >= n || bytes[i] != ':')
        return result;
    ++i;
    if (n - i != 2 || !isDigit(bytes[i]) || !isDigit(bytes[i + 1]) || bytes[i] > '5')
        return result;

    result.kind = ClockDatagram::Kind::Clock;
    result.period = period;
    result.time = QString::fromLatin1(bytes.mid(timeStart));
    // Minutes rounded down, seconds 0 to 59 on top (the clock's SEC2TIME).
    const qint64 minutes = bytes.mid(timeStart, i - 1 - timeStart).toLongLong();
    result.seconds = qint32(minutes * 60 + (bytes[i] - '0') * 10 + (bytes[i + 1] - '0'));
    return result;
}

} // namespace periodix::feed
