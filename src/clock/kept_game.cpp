#include "clock/kept_game.h"

namespace periodix {

using namespace common;

bool gameOnTheClock(const protocol::ClockState &state, KeptGame &game)
{
    if (PeriodCount < 1 || PeriodTable.upperBound() < PeriodCount || (TimerMode != ClockTimer && TimerMode != CountdownTimer))
        return false;
    game.periods.clear();
    for (qint16 i = 1; i <= PeriodCount; ++i)
        game.periods.append(PeriodTable(i));
    game.timerMode = TimerMode;
    game.broadcastAddress = BroadcastAddress;
    game.currentPeriod = qint16(state.period);
    game.periodSeconds = state.length;
    game.clockSeconds = state.seconds;
    game.ended = state.run == protocol::ClockState::Run::Ended;
    game.game = state.game;
    game.written = QDateTime::currentDateTimeUtc();
    return true;
}

void putGameOnTheClock(const KeptGame &game)
{
    PeriodTable.redim(game.periods.size());
    for (qsizetype i = 0; i < game.periods.size(); ++i)
        PeriodTable(i + 1) = game.periods[i];
    PeriodCount = qint16(game.periods.size());
    CurrentPeriod = game.currentPeriod;
    TimerMode = game.timerMode;
    BroadcastAddress = game.broadcastAddress;
    PeriodSeconds = game.periodSeconds;
    ClockSeconds = game.clockSeconds;
    ClockRunning = False;
}

} // namespace periodix
