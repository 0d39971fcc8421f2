// Loading the window, the tick, the end-of-period check and the display.

#include "main_window/frm_main.h"

#include "clock/common.h"
#include "files/game_keeper.h"
#include "clock/time_text.h"
#include "main_window/hall_feed_sender.h"
#include "platform/looks.h"
#include "protocol/clock_datagram.h"
#include "protocol/ports.h"

#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>

namespace periodix {

using namespace common;

namespace {
const QString Module = QStringLiteral("frmMAIN");
} // namespace

void frmMAIN::prepareSender(Procedure &p)
{
    p.run(124, [&] { sender_.setProtocol(DatagramSender::ProtocolUdp); });
    p.run(125, [&] { sender_.setRemoteHost(QStringLiteral("192.168.000.255")); });
    p.run(126, [&] { sender_.setRemotePort(protocol::ClockPort); });
    p.run(127, [&] { cmdSETTING->setEnabled(false); });
}

void frmMAIN::Form_Load()
{
    guarded(Module, QStringLiteral("Form_Load"), [&](Procedure &p) {
        prepareSender(p);
        p.run(128, [&] { cmdSETTING_Click(); });
        p.run(129, [&] { cmdPREVPERIOD->setEnabled(false); });
        p.run(130, [&] { cmdNEXTPERIOD->setEnabled(false); });
        p.run(131, [&] { ClockRunning = False; });
    });
}

void frmMAIN::useHallFeed(quint16 port, const QByteArray &key)
{
    hallFeed_ = std::make_unique<HallFeedSender>(sender_, port, timer1_, clock_);
    hallFeed_->signWith(key);
}

void frmMAIN::Form_Resume(const KeptGame &game)
{
    game_ = game.game.isEmpty() ? newGameIdentity() : game.game;
    guarded(Module, QStringLiteral("Form_Resume"), [&](Procedure &p) {
        prepareSender(p);
        p.run(221, [&] { putGameOnTheClock(game); });
        applyBroadcastAddress(p);
        p.run(222, [&] { SHOW_TIME(); });
        p.run(223, [&] { PAUSED(); });
        // Stopped in the middle of the game, as a reset leaves it: both
        // period buttons work. An ended period says so until the operator
        // moves on.
        p.run(224, [&] { cmdPREVPERIOD->setEnabled(true); });
        p.run(225, [&] { cmdNEXTPERIOD->setEnabled(true); });
        if (p.test(226, [&] { return game.ended; }))
            p.run(227, [&] { showEnd(); });
    });
    stateChanged(true);
}

QString newGameIdentity()
{
    return QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0');
}

protocol::ClockState frmMAIN::clockState() const
{
    using Run = protocol::ClockState::Run;
    protocol::ClockState state;
    state.game = game_;
    state.period = CurrentPeriod;
    state.periods = PeriodCount;
    if (periodInTable())
        state.legend = PeriodTable(CurrentPeriod).Legend;
    state.countdown = TimerMode == CountdownTimer;
    state.length = PeriodSeconds;
    state.seconds = ClockSeconds;
    state.elapsedNs = timer1_.elapsedNs();
    // A clock started at its period's end cannot count: the next tick's end
    // check stops it there again ("E N D", S, S), so it is ended meanwhile.
    const bool stuck = run_ == Run::Running && protocol::atPeriodEnd(state.countdown, ClockSeconds, PeriodSeconds);
    state.run = stuck ? Run::Ended : run_;
    return state;
}

void frmMAIN::stateChanged(bool sync)
{
    const protocol::ClockState state = clockState();
    KeptGame game;
    if (keeper_ && gameOnTheClock(state, game)) {
        game.hallFeedPort = hallFeed_ ? hallFeed_->port() : 0;
        keeper_->keep(game, sync);
    }
    // Before "Ok" there is no period to tell of.
    if (hallFeed_ && periodInTable())
        hallFeed_->change(state, BroadcastAddress != BroadcastOff);
    emit changed(state);
}

bool frmMAIN::periodInTable() const
{
    return CurrentPeriod >= 1 && CurrentPeriod <= PeriodCount && PeriodTable.upperBound() >= PeriodCount;
}

void frmMAIN::showEnd()
{
    run_ = protocol::ClockState::Run::Ended;
    lblEND->show();
}

void frmMAIN::Timer1_Timer()
{
    guarded(Module, QStringLiteral("Timer1_Timer"), [&](Procedure &p) {
        qint16 n = 0;
        p.run(153, [&] { n = cint16(timer1_.missedIntervals() + 1); });
        p.skipFailuresSilently(); // 154
        if (p.test(155, [&] { return TimerMode == CountdownTimer; }))
            p.run(156, [&] { ClockSeconds = cint32(qint64{ClockSeconds} - n); });
        if (p.test(158, [&] { return TimerMode == ClockTimer; }))
            p.run(159, [&] { ClockSeconds = cint32(qint64{ClockSeconds} + n); });
        p.run(161, [&] { CHECK_TIME(); });
        p.run(162, [&] { SHOW_TIME(); });
    });
    // A running clock is kept every second; the end of the period at once.
    stateChanged(run_ == protocol::ClockState::Run::Ended);
}

void frmMAIN::CHECK_TIME()
{
    guarded(Module, QStringLiteral("CHECK_TIME"), [&](Procedure &p) {
        if (p.test(168, [&] { return TimerMode == CountdownTimer; })) {
            if (p.test(169, [&] { return ClockSeconds < 1; })) {
                p.run(170, [&] { timer1_.setEnabled(false); });
                p.run(171, [&] { showEnd(); });
                p.run(172, [&] { cmdPREVPERIOD->setEnabled(true); });
                p.run(173, [&] { cmdNEXTPERIOD->setEnabled(true); });
            }
        }
        if (p.test(176, [&] { return TimerMode == ClockTimer; })) {
            if (p.test(177, [&] { return ClockSeconds >= PeriodSeconds; })) {
                p.run(178, [&] { timer1_.setEnabled(false); });
                p.run(179, [&] { showEnd(); });
                p.run(180, [&] { cmdPREVPERIOD->setEnabled(true); });
                p.run(181, [&] { cmdNEXTPERIOD->setEnabled(true); });
            }
        }
        if (p.test(184, [&] { return ClockSeconds < 1; }))
            p.run(185, [&] { ClockSeconds = 0; });
        if (p.test(187, [&] { return ClockSeconds >= PeriodSeconds; }))
            p.run(188, [&] { ClockSeconds = PeriodSeconds; });
    });
}

void frmMAIN::SHOW_TIME()
{
    guarded(Module, QStringLiteral("SHOW_TIME"), [&](Procedure &p) {
        p.exitSilentlyOnFailure(); // 193: a failing refresh ends quietly
        QString t;
        QString legend;
        QByteArray datagram;
        p.run(196, [&] { t = SEC2TIME(ClockSeconds); });
        p.run(197, [&] { legend = PeriodTable(CurrentPeriod).Legend; });
        p.run(198, [&] { lblPERIOD->setText(legend); });
        p.run(199, [&] { lblTIME->setText(t); });
        p.run(200, [&] { setWindowTitle(literalWindowTitle(legend + u'/' + t)); });
        p.run(201, [&] { datagram = protocol::clockDatagram(CurrentPeriod, t); });
        if (p.test(202, [&] { return BroadcastAddress != BroadcastOff; }))
            p.run(203, [&] { sender_.sendData(datagram); });
        p.reportFailures(); // 206
    });
}

} // namespace periodix
