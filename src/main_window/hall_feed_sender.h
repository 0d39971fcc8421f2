#pragma once

#include "platform/periodic_timer.h"
#include "platform/udp_sender.h"
#include "protocol/clock_state.h"

#include <QObject>
#include <QString>

#include <optional>

namespace periodix {

// The hall feed's port from the command line: 0 when neither --hall-feed nor
// --hall-feed-port asks for it, nothing for a port that is none or the clock
// datagrams' own.
std::optional<quint16> hallFeedPortOption(bool feedAsked, const std::optional<QString> &port);

// Sends the hall feed beside the clock datagrams: the window's state at once
// after every change, and again every 250 ms whatever the state, from the
// clock datagrams' own socket (so that a mirror knows both come from one
// clock), to the same broadcast address on its own port. Each datagram has
// the next count; a running clock's repeats carry its time to the tenth.
// A change of the run state or the period (a start, a pause, the end) is
// said three times more in its first 150 ms: on a network that loses one
// datagram in five, a mirror still shows it within half a second.
class HallFeedSender : public QObject {
    Q_OBJECT
public:
    static constexpr int RepeatMs = 250;
    static constexpr int EchoMs = 50;
    static constexpr int Echoes = 3;

    HallFeedSender(DatagramSender &sender, quint16 port, const PeriodicTimer &clockTimer,
                   MonotonicClock &clock = steadyClock(), QObject *parent = nullptr);

    quint16 port() const { return port_; }
    // Signs every datagram with the key; none: unsigned.
    void signWith(const QByteArray &key) { key_ = key; }
    // The window's state after a change: sent now, and repeated from then on
    // with the running second's part as the clock timer has it.
    void change(const protocol::ClockState &state, bool broadcasting);
    PeriodicTimer &repeats() { return repeats_; }
    PeriodicTimer &echoes() { return echoes_; }

private:
    void send();

    DatagramSender &sender_;
    const quint16 port_;
    const PeriodicTimer &clockTimer_;
    PeriodicTimer repeats_;
    PeriodicTimer echoes_;
    int echoesLeft_ = 0;
    protocol::ClockState state_;
    QByteArray key_;
    bool broadcasting_ = false;
    qint64 seq_ = 0;
};

} // namespace periodix
