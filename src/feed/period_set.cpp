#include "feed/period_set.h"

#include "clock/checked_number.h"
#include "files/period_script_reader.h"

namespace periodix::feed {

QString PeriodSet::legend(int period) const
{
    return period >= 1 && period <= periods.size() ? periods[period - 1].legend : QString();
}

std::optional<qint32> PeriodSet::length(int period) const
{
    return period >= 1 && period <= periods.size() ? periods[period - 1].seconds : std::nullopt;
}

bool readPeriodSet(const QString &path, PeriodSet &set, QString &error)
{
    ScriptReader reader;
    PeriodSet read;
    int line = 0;
    try {
        reader.open(path);
        ++line;
        reader.readLine(); // the timer type: the ticks tell it anyway
        while (!reader.atEnd()) {
            PeriodSet::Period period;
            ++line;
            period.legend = reader.readLine();
            ++line;
            const QString time = reader.readLine();
            if (time != QStringLiteral("Ask me")) {
                // Minutes and seconds as "Ok" reads them, in 16 bits.
                const QStringList parts = splitParts(time, u':');
                period.seconds = cint16(qint64{textToInt16(partAt(parts, 0))} * 60 + textToInt16(partAt(parts, 1)));
            }
            read.periods.append(period);
        }
    } catch (const RuntimeError &e) {
        if (line == 0 && e.number == ErrPathFileAccess)
            error = QStringLiteral("%1: not a period set (only a regular file of at most %2 MiB is one)")
                        .arg(path)
                        .arg(LargestSetBytes >> 20);
        else
            error = line == 0 ? QStringLiteral("%1: %2").arg(path, e.description)
                          : QStringLiteral("%1, line %2: %3").arg(path).arg(line).arg(e.description);
        return false;
    }
    if (read.periods.isEmpty()) {
        error = QStringLiteral("%1: no periods (lines end with CR LF or CR)").arg(path);
        return false;
    }
    set = read;
    return true;
}

} // namespace periodix::feed
