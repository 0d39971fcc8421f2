// The timer type options and their running demos.

#include "settings_window/frm_set.h"

#include "clock/checked_number.h"
#include "error_reporting/statement_guard.h"

#include <QLabel>
#include <QRadioButton>

namespace periodix {

namespace {
const QString Module = QStringLiteral("frmSet");

void setBold(QWidget *w, bool bold)
{
    QFont font = w->font();
    font.setBold(bold);
    w->setFont(font);
}
} // namespace

void frmSet::optLEFT_Click()
{
    guarded(Module, QStringLiteral("optLEFT_Click"), [&](Procedure &p) {
        p.run(206, [&] { setBold(optPASS, false); });
    });
}

void frmSet::optPASS_Click()
{
    guarded(Module, QStringLiteral("optPASS_Click"), [&](Procedure &p) {
        p.run(209, [&] { setBold(optLEFT, false); });
    });
}

void frmSet::tmrLEFTdemo_Timer()
{
    guarded(Module, QStringLiteral("tmrLEFTdemo_Timer"), [&](Procedure &p) {
        QString text;
        p.run(212, [&] { LeftDemoSeconds = cint16(qint64{LeftDemoSeconds} - 1); });
        if (p.test(213, [&] { return LeftDemoSeconds < 0; })) {
            p.run(214, [&] { LeftDemoSeconds = 59; });
            p.run(215, [&] { LeftDemoMinutes = cint16(qint64{LeftDemoMinutes} - 1); });
        }
        if (p.test(217, [&] { return LeftDemoMinutes == 0 && LeftDemoSeconds == 0; })) {
            p.run(218, [&] { LeftDemoMinutes = 1; });
            p.run(219, [&] { LeftDemoSeconds = 20; });
        }
        p.run(221, [&] { text = minutesSecondsText(LeftDemoMinutes, LeftDemoSeconds); });
        p.run(222, [&] { lblLEFT->setText(text); });
        if (p.test(223, [&] { return optLEFT->isChecked(); }))
            p.run(224, [&] { setBold(optLEFT, !optLEFT->font().bold()); });
    });
}

void frmSet::tmrPASSdemo_Timer()
{
    guarded(Module, QStringLiteral("tmrPASSdemo_Timer"), [&](Procedure &p) {
        QString text;
        p.run(228, [&] { PassDemoSeconds = cint16(qint64{PassDemoSeconds} + 1); });
        if (p.test(229, [&] { return PassDemoSeconds > 59; })) {
            p.run(230, [&] { PassDemoSeconds = 0; });
            p.run(231, [&] { PassDemoMinutes = cint16(qint64{PassDemoMinutes} + 1); });
        }
        if (p.test(233, [&] { return PassDemoMinutes == 1 && PassDemoSeconds == 20; })) {
            p.run(234, [&] { PassDemoMinutes = 0; });
            p.run(235, [&] { PassDemoSeconds = 1; });
        }
        p.run(237, [&] { text = minutesSecondsText(PassDemoMinutes, PassDemoSeconds); });
        p.run(238, [&] { lblPASS->setText(text); });
        if (p.test(239, [&] { return optPASS->isChecked(); }))
            p.run(240, [&] { setBold(optPASS, !optPASS->font().bold()); });
    });
}

} // namespace periodix
