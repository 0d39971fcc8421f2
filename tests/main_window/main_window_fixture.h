#pragma once

#include "clock/common.h"
#include "clock/time_text.h"
#include "main_window/frm_main.h"
#include "support/manual_clock.h"
#include "support/recording_sender.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_reports.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include <memory>

// A fresh main window on a hand-driven clock with a recording sender; the
// settings window is stood in for by writing the clock model as "Ok" would.
struct TestPeriod {
    QString legend;
    int minutes;
    int seconds;
    bool askMe = false;
};

struct MainWindowFixture {
    using Period = TestPeriod;

    explicit MainWindowFixture(QList<Period> periods = {{"1st Quarter", 10, 0}, {"2nd Quarter", 10, 0}},
                               qint32 timerMode = periodix::common::CountdownTimer,
                               QString address = QStringLiteral("127.0.0.255"))
    {
        using namespace periodix::common;
        resetToProcessStart();
        window = std::make_unique<periodix::frmMAIN>(
            sender,
            [=](periodix::frmMAIN &) {
                PeriodTable.redim(periods.size());
                for (int i = 0; i < periods.size(); ++i) {
                    const Period &p = periods[i];
                    PeriodTable(i + 1) = PeriodRecord{p.legend, p.askMe ? periodix::True : periodix::False,
                                                      qint16(p.askMe ? -1 : p.minutes),
                                                      qint16(p.askMe ? -1 : p.seconds)};
                }
                PeriodCount = qint16(periods.size());
                CurrentPeriod = 1;
                TimerMode = timerMode;
                BroadcastAddress = address;
            },
            clock);
    }

    // The window as start-up leaves it: loaded, stopped at the first period.
    periodix::frmMAIN &loaded()
    {
        window->Form_Load();
        sender.sent.clear();
        return *window;
    }

    // Lets the clock timer run for `seconds` of monotonic time and delivers.
    void runFor(double seconds)
    {
        clock.advanceMs(seconds * 1000);
        window->Timer1().deliverDue();
    }

    // Runs the first second of a countdown at 00:01: the period ends.
    void endPeriod()
    {
        periodix::common::ClockSeconds = 1;
        window->cmdSTART_Click();
        runFor(1);
    }

    template <class T = QWidget>
    T *control(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString digits() const { return control<QLabel>("lblTIME")->text(); }
    QColor digitColour() const { return periodix::textColour(control<QLabel>("lblTIME")); }
    bool endShown() const { return !control<QLabel>("lblEND")->isHidden(); }
    bool enabled(const char *name) const { return control(name)->isEnabled(); }

    ScriptedReports reports;
    ScriptedDialogs dialogs;
    ManualClock clock;
    RecordingSender sender;
    std::unique_ptr<periodix::frmMAIN> window;
};
