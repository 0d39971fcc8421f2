#pragma once

#include <QString>

namespace periodix::protocol {

// The clock as the operator's window has it after a change: made once by the
// window, and handed to whatever shows, sends or keeps it.
struct ClockState {
    enum class Run { Running, Paused, Stopped, Ended };

    QString game;       // made when "Ok" starts a game, kept by --resume
    Run run = Run::Stopped;
    int period = 0;     // from 1
    int periods = 0;
    QString legend;
    bool countdown = true;
    qint32 length = 0;  // the period's length in seconds
    qint32 seconds = 0; // the clock's seconds
    qint64 elapsedNs = 0; // the part of the running second that has passed, or that a pause kept

    bool operator==(const ClockState &) const = default;
};

// "running", "paused", "stopped" or "ended".
QString runName(ClockState::Run run);

// Whether a clock at these seconds stands at its period's end: a start there
// cannot count, and the end check stops it at once.
bool atPeriodEnd(bool countdown, qint32 seconds, qint32 length);

// The clock in tenths of a second: the part of the running second counted in,
// never past the period's ends. Rounded towards the time the digits show, so
// that a mirror counting on from it is never ahead of the clock.
qint64 clockTenths(const ClockState &state);

} // namespace periodix::protocol
