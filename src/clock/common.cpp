#include "clock/common.h"

namespace periodix::common {

void resetToProcessStart()
{
    ClockRunning = False;
    BroadcastAddress.clear();
    ClockSeconds = 0;
    PeriodSeconds = 0;
    TimerMode = 0;
    CurrentPeriod = 0;
    PeriodCount = 0;
    PeriodTable.clear();
    PeriodSetDirty = False;
}

QString periodTimeText(const PeriodRecord &record)
{
    return minutesSecondsText(record.Minutes, record.Seconds);
}

} // namespace periodix::common
