#pragma once

#include "clock/checked_number.h"

#include <QString>

// The clock state that the main window and the settings window share. Both
// read and write these variables directly, on the user-interface thread.
namespace periodix::common {

struct PeriodRecord {
    QString Legend;
    qint16 AskMe = False;
    qint16 Minutes = 0;
    qint16 Seconds = 0;
    bool operator==(const PeriodRecord &) const = default;
};

inline qint16 ClockRunning = False;
inline QString BroadcastAddress;
inline qint32 ClockSeconds = 0;
inline qint32 PeriodSeconds = 0;
inline qint32 TimerMode = 0; // 1 clock timer, 2 countdown timer
inline qint16 CurrentPeriod = 0;
inline qint16 PeriodCount = 0;
inline BoundedArray<PeriodRecord> PeriodTable;
inline qint16 PeriodSetDirty = False;

inline constexpr qint32 ClockTimer = 1;
inline constexpr qint32 CountdownTimer = 2;

// The address text that means broadcasting is off.
inline const QString BroadcastOff = QStringLiteral("0.0.0.255");

// Puts every variable back to its value at process start.
void resetToProcessStart();

// A period's time text: Minutes and Seconds with at least two digits each.
QString periodTimeText(const PeriodRecord &record);

} // namespace periodix::common
