#include "clock/time_text.h"

#include "clock/checked_number.h"
#include "error_reporting/statement_guard.h"
#include "protocol/time_text.h"

#include <cmath>

namespace periodix::common {

namespace {
const QString Module = QStringLiteral("common");
}

QString SEC2TIME(qint32 seconds)
{
    QString result;
    guarded(Module, QStringLiteral("SEC2TIME"), [&](Procedure &p) {
        qint16 m = 0;
        qint16 r = 0;
        p.run(4, [&] { m = cint16(static_cast<qint64>(std::floor(seconds / 60.0))); });
        p.run(5, [&] { r = cint16(static_cast<qint64>(seconds) - cint16(qint64{m} * 60)); });
        p.run(6, [&] { result = protocol::timeText(qint64{m} * 60 + r); });
    });
    return result;
}

qint32 TIME2SEC(const QString &text)
{
    qint32 result = 0;
    guarded(Module, QStringLiteral("TIME2SEC"), [&](Procedure &p) {
        QStringList parts;
        qint16 m = 0;
        qint16 r = 0;
        p.run(11, [&] { parts = splitParts(text, u':'); });
        p.run(12, [&] { m = textToInt16(partAt(parts, 0)); });
        p.run(13, [&] { r = textToInt16(partAt(parts, 1)); });
        p.run(14, [&] { result = cint16(cint16(qint64{m} * 60) + qint64{r}); });
    });
    return result;
}

} // namespace periodix::common
