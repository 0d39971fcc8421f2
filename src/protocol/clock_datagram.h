#pragma once

#include <QByteArray>
#include <QString>

namespace periodix::protocol {

// One datagram of the game clock: "p", the period number, "t", the digits
// (p1t10:00, p12t05:07, p1t-02:59), or "pause".
struct ClockDatagram {
    enum class Kind { Clock, Pause, Invalid };
    Kind kind = Kind::Invalid;
    int period = 0; // the clock datagram's period number
    QString time;   // its time text, for example 10:00 or -02:59
    qint32 seconds = 0; // the same in seconds, as the clock counts them: -02:59 is -61
};

// The longest datagram the clock sends: "p32767t-32768:59".
inline constexpr int LongestDatagram = 16;
// The longest digits a clock datagram carries, after its shortest "p1t".
inline constexpr int LongestTime = LongestDatagram - 3;
inline constexpr char PauseDatagram[] = "pause";

// The clock datagram of a period at the digits `time` (timeText's).
QByteArray clockDatagram(int period, const QString &time);

// Reads exactly the clock's two forms: "p", the period number (decimal, no
// leading zero), "t", the minutes (a minus sign, then two or more digits),
// ":", two digits of seconds; or "pause". Anything else is Invalid.
ClockDatagram parseDatagram(const QByteArray &bytes);

} // namespace periodix::protocol
