#pragma once

#include "error_reporting/statement_guard.h"
#include "platform/monotonic_clock.h"
#include "platform/looks.h"
#include "platform/periodic_timer.h"
#include "platform/udp_sender.h"
#include "protocol/clock_state.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QAction;
class QPushButton;

namespace periodix {

class GameKeeper;
class HallFeedSender;
struct KeptGame;

// The main clock window: the digits and the legend, the run commands, the
// corrections and the period buttons, its clock timer Timer1 and its UDP
// sender wsTIME.
class frmMAIN : public QWidget {
    Q_OBJECT
public:
    // Opens the settings window modally and returns when it has closed.
    using SettingsOpener = std::function<void(frmMAIN &)>;

    frmMAIN(DatagramSender &sender, SettingsOpener openSettings, MonotonicClock &clock = steadyClock(),
            QWidget *parent = nullptr);
    ~frmMAIN() override;

    PeriodicTimer &Timer1() { return timer1_; }
    DatagramSender &wsTIME() { return sender_; }
    qreal dpi() const { return dpi_; }

    // Keeps the game on disk at every change the window shows; none by default.
    void setGameKeeper(GameKeeper *keeper) { keeper_ = keeper; }
    // Sends the hall feed on this port beside the clock datagrams, signed
    // with the key if one is given; none by default.
    void useHallFeed(quint16 port, const QByteArray &key = {});
    HallFeedSender *hallFeed() const { return hallFeed_.get(); }
    // The game's identity, made when "Ok" starts it (or kept by --resume).
    const QString &game() const { return game_; }
    // The clock as the window has it now: made from the clock model and the
    // run state the commands and the end check set, never from a widget.
    protocol::ClockState clockState() const;

    // The window's procedures.
    void Form_Load();
    // Instead of Form_Load: takes up a kept game, stopped, without the
    // settings window.
    void Form_Resume(const KeptGame &game);
    void Timer1_Timer();
    void CHECK_TIME();
    void SHOW_TIME();
    void PAUSED();
    void UNPAUSED();
    void cmdSTART_Click();
    void cmdPAUSE_Click();
    void cmdRESET_Click();
    void mnRESETYES_Click();
    void cmdNEXTPERIOD_Click();
    void cmdPREVPERIOD_Click();
    void cmdSETTING_Click();
    void cmd1UP_Click();
    void cmd1DW_Click();
    void cmd10UP_Click();
    void cmd10DW_Click();
    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

signals:
    // After every change the window shows, the state it shows.
    void changed(const periodix::protocol::ClockState &state);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct LoadLines {
        int timeText, periodSeconds, testMode, countdown, clockTimer;
    };
    void buildControls();
    void loadCurrentPeriod(Procedure &p, const LoadLines &lines);
    void askPeriodLength(Procedure &p, int minutesLine, int secondsLine);
    void correct(const char *procedure, int firstLine, qint32 change);
    void prepareSender(Procedure &p);
    void applyBroadcastAddress(Procedure &p);
    // After every change the window shows: its state made once, the game
    // kept, the hall feed told.
    void stateChanged(bool sync);
    void showEnd();
    bool periodInTable() const;

    DatagramSender &sender_;
    SettingsOpener openSettings_;
    GameKeeper *keeper_ = nullptr;
    PeriodicTimer timer1_;
    MonotonicClock &clock_;
    std::unique_ptr<HallFeedSender> hallFeed_;
    QString game_;
    protocol::ClockState::Run run_ = protocol::ClockState::Run::Stopped;
    qreal dpi_ = 96;

    QLabel *lblPERIOD = nullptr;
    QLabel *lblBROADCAST = nullptr;
    QLabel *lblTIME = nullptr;
    QLabel *lblPAUSE = nullptr;
    QLabel *lblEND = nullptr;
    QPushButton *cmd1DW = nullptr;
    QPushButton *cmd10DW = nullptr;
    QPushButton *cmd1UP = nullptr;
    QPushButton *cmd10UP = nullptr;
    QPushButton *cmdRESET = nullptr;
    QPushButton *cmdSTART = nullptr;
    QPushButton *cmdPAUSE = nullptr;
    QPushButton *cmdSETTING = nullptr;
    QPushButton *cmdPREVPERIOD = nullptr;
    QPushButton *cmdNEXTPERIOD = nullptr;
    QMenu *mnRESET = nullptr;
    QAction *mnRESETYES = nullptr;
    QAction *mnRESETNO = nullptr;
};

// A new game's identity: 16 hexadecimal digits from the system's randomness.
QString newGameIdentity();

// Window colours of the clock.
inline const QColor Red(255, 0, 0);
inline const QColor Green(0, 255, 0);
inline const QColor Black(0, 0, 0);

} // namespace periodix
