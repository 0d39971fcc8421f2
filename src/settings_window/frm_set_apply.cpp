// "Ok", "End" and closing the window.

#include "settings_window/frm_set.h"

#include "clock/checked_number.h"
#include "clock/common.h"
#include "error_reporting/process_end.h"
#include "error_reporting/statement_guard.h"
#include "settings_window/period_grid.h"

#include <QLineEdit>
#include <QRadioButton>

namespace periodix {

using namespace common;

namespace {
const QString Module = QStringLiteral("frmSet");
} // namespace

void frmSet::cmdOK_Click()
{
    guarded(Module, QStringLiteral("cmdOK_Click"), [&](Procedure &p) {
        if (p.test(89, [&] { return grdPERIOD->rows() == 1; }))
            return;
        if (p.test(92, [&] { return txtIP->displayText() == QStringLiteral("___.___.___"); }))
            return;
        qint16 n = 0;
        p.run(95, [&] { n = cint16(grdPERIOD->rows() - 1); });
        p.run(96, [&] { PeriodTable.redim(n); });
        qint16 i = 0;
        p.countedLoop(97, 110, i, [&] { return std::pair<qint16, qint16>(1, n); }, [&] {
            QString time;
            QStringList pieces;
            p.run(98, [&] { PeriodTable(i).Legend = grdPERIOD->textMatrix(i, 1); });
            p.run(99, [&] { time = grdPERIOD->textMatrix(i, 2); });
            if (p.test(100, [&] { return time == QStringLiteral("Ask me"); })) {
                p.run(101, [&] { PeriodTable(i).Minutes = -1; });
                p.run(102, [&] { PeriodTable(i).Seconds = -1; });
                p.run(103, [&] { PeriodTable(i).AskMe = True; });
            } else {
                p.run(105, [&] { pieces = splitParts(time, u':'); });
                p.run(106, [&] { PeriodTable(i).Minutes = textToInt16(partAt(pieces, 0)); });
                p.run(107, [&] { PeriodTable(i).Seconds = textToInt16(partAt(pieces, 1)); });
                p.run(108, [&] { PeriodTable(i).AskMe = False; });
            }
        });
        if (p.test(111, [&] { return optPASS->isChecked(); }))
            p.run(112, [&] { TimerMode = ClockTimer; });
        if (p.test(114, [&] { return optLEFT->isChecked(); }))
            p.run(115, [&] { TimerMode = CountdownTimer; });
        p.run(117, [&] { CurrentPeriod = 1; });
        p.run(118, [&] { PeriodCount = n; });
        QString t;
        qint64 group[4] = {0, 0, 0, 0};
        p.run(119, [&] { t = txtIP->displayText() + QStringLiteral(".255"); });
        for (int g = 0; g < 4; ++g)
            p.run(120 + g, [&] { group[g] = leadingNumber(t.mid(4 * g, 3)); });
        p.run(124, [&] {
            BroadcastAddress = QStringLiteral("%1.%2.%3.%4").arg(group[0]).arg(group[1]).arg(group[2]).arg(group[3]);
        });
        p.run(125, [&] { close(); });
    });
}

void frmSet::cmdCANCEL_Click()
{
    guarded(Module, QStringLiteral("cmdCANCEL_Click"), [&](Procedure &p) {
        p.run(30, [&] { endProgramNow(0); });
    });
}

void frmSet::Form_QueryUnload()
{
    guarded(Module, QStringLiteral("Form_QueryUnload"), [&](Procedure &p) {
        p.run(202, [&] { tmrLEFTdemo_.stop(); });
        p.run(203, [&] { tmrPASSdemo_.stop(); });
    });
}

} // namespace periodix
