#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace periodix::protocol {

// The clock's digits: minutes rounded down with at least two digits, ":",
// seconds 0 to 59 with two ("10:00", "100:00"; -61 is "-02:59").
QString timeText(qint64 seconds);

// Digits as the clock writes them: an optional minus sign, two or more digits
// of minutes, ":", two of seconds, at most `longest` characters; in seconds.
std::optional<qint32> readTimeText(QByteArrayView text, qsizetype longest);

} // namespace periodix::protocol
