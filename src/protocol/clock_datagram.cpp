#include "protocol/clock_datagram.h"

#include "protocol/time_text.h"

namespace periodix::protocol {

QByteArray clockDatagram(int period, const QString &time)
{
    return 'p' + QByteArray::number(period) + 't' + time.toLatin1();
}

ClockDatagram parseDatagram(const QByteArray &bytes)
{
    ClockDatagram result;
    if (bytes == PauseDatagram) {
        result.kind = ClockDatagram::Kind::Pause;
        return result;
    }
    const qsizetype n = bytes.size();
    if (n > LongestDatagram || n < 7 || bytes[0] != 'p')
        return result;

    qsizetype i = 1;
    while (i < n && bytes[i] >= '0' && bytes[i] <= '9')
        ++i;
    const qsizetype periodDigits = i - 1;
    if (periodDigits == 0 || periodDigits > 5 || (periodDigits > 1 && bytes[1] == '0'))
        return result;
    const int period = bytes.mid(1, periodDigits).toInt();
    if (period > 32767 || i >= n || bytes[i] != 't')
        return result;
    const QByteArrayView time = QByteArrayView(bytes).sliced(i + 1);
    const std::optional<qint32> seconds = readTimeText(time, LongestDatagram);
    if (!seconds)
        return result;
    result.kind = ClockDatagram::Kind::Clock;
    result.period = period;
    result.time = QString::fromLatin1(time);
    result.seconds = *seconds;
    return result;
}

} // namespace periodix::protocol
