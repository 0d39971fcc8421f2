#pragma once

#include "clock/common.h"
#include "protocol/clock_state.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace periodix {

// What taking a game up again after a crash needs: the period set in use
// (with the lengths answered for "Ask me" periods), the timer type, the
// broadcast network, the period on the clock, its length and its time.
struct KeptGame {
    QList<common::PeriodRecord> periods; // period 1 first
    qint32 timerMode = 0;
    QString broadcastAddress;
    qint16 currentPeriod = 0;
    qint32 periodSeconds = 0;
    qint32 clockSeconds = 0;
    bool ended = false;
    QString game;             // the game's identity, made when "Ok" started it; empty in older files
    quint16 hallFeedPort = 0; // the hall feed's port; 0 without the feed
    QDateTime written; // UTC, to the millisecond

    bool operator==(const KeptGame &) const = default;
};

// The game in the window's state, with the period set, timer type and network
// in use. False before the settings were first confirmed.
bool gameOnTheClock(const protocol::ClockState &state, KeptGame &game);

// Puts a kept game into the clock model, as "Ok" and the loading of a period
// would have left it; the run state is the window's.
void putGameOnTheClock(const KeptGame &game);

} // namespace periodix
