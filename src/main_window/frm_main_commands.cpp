// The operator's commands: run control, period navigation, corrections, the
// keyboard and the settings hand-off.

#include "main_window/frm_main.h"

#include "clock/common.h"
#include "clock/time_text.h"
#include "platform/dialogs.h"
#include "protocol/clock_datagram.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace periodix {

using namespace common;

namespace {
const QString Module = QStringLiteral("frmMAIN");
constexpr int KeyS = 83;
} // namespace

void frmMAIN::PAUSED()
{
    guarded(Module, QStringLiteral("PAUSED"), [&](Procedure &p) {
        run_ = protocol::ClockState::Run::Stopped; // the pause command says Paused after this
        p.run(209, [&] { ClockRunning = False; });
        p.run(210, [&] { lblEND->hide(); });
        p.run(211, [&] { setTextColour(lblTIME, Red); });
    });
}

void frmMAIN::UNPAUSED()
{
    guarded(Module, QStringLiteral("UNPAUSED"), [&](Procedure &p) {
        run_ = protocol::ClockState::Run::Running;
        p.run(214, [&] { ClockRunning = True; });
        p.run(215, [&] { lblEND->hide(); });
        p.run(216, [&] { setTextColour(lblTIME, Black); });
    });
}

void frmMAIN::cmdSTART_Click()
{
    guarded(Module, QStringLiteral("cmdSTART_Click"), [&](Procedure &p) {
        p.run(106, [&] { timer1_.setEnabled(true); });
        p.run(107, [&] { UNPAUSED(); });
        p.run(108, [&] { cmdSETTING->setEnabled(false); });
        p.run(109, [&] { cmdPREVPERIOD->setEnabled(false); });
        p.run(110, [&] { cmdNEXTPERIOD->setEnabled(false); });
    });
    stateChanged(false);
}

void frmMAIN::cmdPAUSE_Click()
{
    guarded(Module, QStringLiteral("cmdPAUSE_Click"), [&](Procedure &p) {
        // The running second's elapsed part is kept for the next start.
        p.run(55, [&] { timer1_.pause(); });
        p.run(56, [&] { PAUSED(); });
        run_ = protocol::ClockState::Run::Paused;
        p.skipFailuresSilently(); // 57
        if (p.test(58, [&] { return BroadcastAddress != BroadcastOff; }))
            p.run(59, [&] { sender_.sendData(protocol::PauseDatagram); });
    });
    stateChanged(true);
}

void frmMAIN::cmdRESET_Click()
{
    guarded(Module, QStringLiteral("cmdRESET_Click"), [&](Procedure &p) {
        p.run(84, [&] { mnRESET->popup(QCursor::pos()); });
    });
}

void frmMAIN::loadCurrentPeriod(Procedure &p, const LoadLines &lines)
{
    QString text;
    p.run(lines.timeText, [&] { text = periodTimeText(PeriodTable(CurrentPeriod)); });
    p.run(lines.periodSeconds, [&] { PeriodSeconds = TIME2SEC(text); });
    if (p.test(lines.testMode, [&] { return TimerMode == CountdownTimer; }))
        p.run(lines.countdown, [&] { ClockSeconds = PeriodSeconds; });
    else
        p.run(lines.clockTimer, [&] { ClockSeconds = 0; });
}

void frmMAIN::askPeriodLength(Procedure &p, int minutesLine, int secondsLine)
{
    // Cancel gives the empty text, which is no number: Retry asks again,
    // Ignore keeps the value the period had.
    p.run(minutesLine, [&] {
        const QString answer =
            dialogs().inputBox(this, QStringLiteral("Minutes for the ") + PeriodTable(CurrentPeriod).Legend);
        PeriodTable(CurrentPeriod).Minutes = textToInt16(answer);
    });
    p.run(secondsLine, [&] {
        const QString answer =
            dialogs().inputBox(this, QStringLiteral("Seconds for the ") + PeriodTable(CurrentPeriod).Legend);
        PeriodTable(CurrentPeriod).Seconds = textToInt16(answer);
    });
}

void frmMAIN::mnRESETYES_Click()
{
    guarded(Module, QStringLiteral("mnRESETYES_Click"), [&](Procedure &p) {
        p.skipFailuresSilently(); // 136
        p.run(137, [&] { timer1_.setEnabled(false); });
        loadCurrentPeriod(p, {138, 139, 140, 141, 143});
        p.run(145, [&] { SHOW_TIME(); });
        p.run(146, [&] { PAUSED(); });
        p.run(147, [&] { cmdSETTING->setEnabled(false); });
        p.run(148, [&] { cmdNEXTPERIOD->setEnabled(true); });
        p.run(149, [&] { cmdPREVPERIOD->setEnabled(true); });
    });
    stateChanged(true);
}

void frmMAIN::cmdNEXTPERIOD_Click()
{
    guarded(Module, QStringLiteral("cmdNEXTPERIOD_Click"), [&](Procedure &p) {
        if (p.test(31, [&] { return CurrentPeriod == PeriodCount; }))
            return;
        p.run(34, [&] { timer1_.setEnabled(false); });
        p.run(35, [&] { CurrentPeriod = cint16(qint64{CurrentPeriod} + 1); });
        if (p.test(36, [&] { return CurrentPeriod == PeriodCount; }))
            p.run(37, [&] { cmdNEXTPERIOD->setEnabled(false); });
        p.run(39, [&] { cmdPREVPERIOD->setEnabled(true); });
        if (p.test(40, [&] { return PeriodTable(CurrentPeriod).AskMe != False; }))
            askPeriodLength(p, 41, 42);
        loadCurrentPeriod(p, {44, 45, 46, 47, 49});
        p.run(51, [&] { SHOW_TIME(); });
        p.run(52, [&] { PAUSED(); });
    });
    stateChanged(true);
}

void frmMAIN::cmdPREVPERIOD_Click()
{
    guarded(Module, QStringLiteral("cmdPREVPERIOD_Click"), [&](Procedure &p) {
        if (p.test(64, [&] { return CurrentPeriod == 1; }))
            return;
        p.run(67, [&] { timer1_.setEnabled(false); });
        p.run(68, [&] { CurrentPeriod = cint16(qint64{CurrentPeriod} - 1); });
        if (p.test(69, [&] { return CurrentPeriod == 1; }))
            p.run(70, [&] { cmdPREVPERIOD->setEnabled(false); });
        p.run(72, [&] { cmdNEXTPERIOD->setEnabled(true); });
        loadCurrentPeriod(p, {73, 74, 75, 76, 78});
        p.run(80, [&] { SHOW_TIME(); });
        p.run(81, [&] { PAUSED(); });
    });
    stateChanged(true);
}

void frmMAIN::correct(const char *procedure, int firstLine, qint32 change)
{
    guarded(Module, QLatin1String(procedure), [&](Procedure &p) {
        p.run(firstLine, [&] { timer1_.setEnabled(false); });
        p.run(firstLine + 1, [&] { ClockSeconds = cint32(qint64{ClockSeconds} + change); });
        p.run(firstLine + 2, [&] { CHECK_TIME(); });
        p.run(firstLine + 3, [&] { SHOW_TIME(); });
        p.run(firstLine + 4, [&] { PAUSED(); });
    });
    stateChanged(true);
}

void frmMAIN::cmd10DW_Click()
{
    correct("cmd10DW_Click", 2, -10);
}

void frmMAIN::cmd10UP_Click()
{
    correct("cmd10UP_Click", 9, 10);
}

void frmMAIN::cmd1DW_Click()
{
    correct("cmd1DW_Click", 16, -1);
}

void frmMAIN::cmd1UP_Click()
{
    correct("cmd1UP_Click", 23, 1);
}

void frmMAIN::Form_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    guarded(Module, QStringLiteral("Form_KeyDown"), [&](Procedure &p) {
        if (p.test(115, [&] { return keyCode == KeyS; })) {
            if (p.test(116, [&] { return ClockRunning == False; }))
                p.run(117, [&] { cmdSTART_Click(); });
            else
                p.run(119, [&] { cmdPAUSE_Click(); });
        }
    });
}

// The sender takes the chosen address before the first clock datagram, so
// that it reaches the chosen network.
void frmMAIN::applyBroadcastAddress(Procedure &p)
{
    if (p.test(98, [&] { return BroadcastAddress == BroadcastOff; })) {
        p.run(99, [&] { setTextColour(lblBROADCAST, Red); });
    } else {
        p.run(101, [&] { sender_.setRemoteHost(BroadcastAddress); });
        p.run(102, [&] { setTextColour(lblBROADCAST, Green); });
    }
}

void frmMAIN::cmdSETTING_Click()
{
    guarded(Module, QStringLiteral("cmdSETTING_Click"), [&](Procedure &p) {
        p.run(88, [&] {
            if (openSettings_)
                openSettings_(*this);
        });
        game_ = newGameIdentity(); // "Ok" starts a game
        // Loading the first period. An "Ask me" period is asked for, as the
        // next-period command does, instead of starting at -1:-1.
        QString text;
        bool askMe = false;
        p.run(89, [&] {
            const PeriodRecord &record = PeriodTable(CurrentPeriod);
            askMe = record.AskMe != False;
            text = periodTimeText(record);
        });
        if (askMe) {
            askPeriodLength(p, 89, 89);
            p.run(89, [&] { text = periodTimeText(PeriodTable(CurrentPeriod)); });
        }
        p.run(90, [&] { PeriodSeconds = TIME2SEC(text); });
        if (p.test(91, [&] { return TimerMode == CountdownTimer; }))
            p.run(92, [&] { ClockSeconds = PeriodSeconds; });
        else
            p.run(94, [&] { ClockSeconds = 0; });
        applyBroadcastAddress(p);
        p.run(96, [&] { SHOW_TIME(); });
        p.run(97, [&] { PAUSED(); });
    });
    stateChanged(true);
}

} // namespace periodix
