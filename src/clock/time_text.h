#pragma once

#include <QString>

namespace periodix::common {

// Seconds to the clock's time text (minutes rounded down, seconds 0 to 59).
QString SEC2TIME(qint32 seconds);

// Time text "mm:ss" to seconds, in the program's 16-bit arithmetic.
qint32 TIME2SEC(const QString &text);

} // namespace periodix::common
