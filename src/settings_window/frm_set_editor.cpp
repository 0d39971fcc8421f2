// Start-up and the period set editor.

#include "settings_window/frm_set.h"

#include "clock/checked_number.h"
#include "clock/common.h"
#include "error_reporting/statement_guard.h"
#include "settings_window/period_grid.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>

namespace periodix {

using common::PeriodSetDirty;

namespace {
const QString Module = QStringLiteral("frmSet");
} // namespace

QString frmSet::timeText() const
{
    return minutesSecondsText(vsTIMEMIN->value(), vsTIMESEC->value());
}

void frmSet::Form_Load()
{
    guarded(Module, QStringLiteral("Form_Load"), [&](Procedure &p) {
        QString ip;
        QStringList parts;
        QString network;
        p.run(188, [&] { FIX_GRID(); });
        p.run(189, [&] { ip = sender_.localIP(); });
        p.run(190, [&] { parts = splitParts(ip, u'.'); });
        p.run(191, [&] {
            network = formatDigits(textToInt16(partAt(parts, 0)), 3) + u'.' +
                      formatDigits(textToInt16(partAt(parts, 1)), 3) + u'.' +
                      formatDigits(textToInt16(partAt(parts, 2)), 3);
        });
        p.run(192, [&] { txtIP->setText(network); });
        p.run(193, [&] { PeriodSetDirty = False; });
        p.run(194, [&] { PassDemoMinutes = 0; });
        p.run(195, [&] { PassDemoSeconds = 0; });
        p.run(196, [&] { LeftDemoMinutes = 1; });
        p.run(197, [&] { LeftDemoSeconds = 20; });
        p.run(198, [&] { tmrPASSdemo_.start(); });
        p.run(199, [&] { tmrLEFTdemo_.start(); });
    });
}

void frmSet::FIX_GRID()
{
    guarded(Module, QStringLiteral("FIX_GRID"), [&](Procedure &p) {
        p.run(261, [&] { grdPERIOD->setRows(2); });
        p.run(262, [&] { grdPERIOD->setFixedRows(1); });
        p.run(263, [&] { grdPERIOD->setCols(3); });
        p.run(264, [&] { grdPERIOD->setFixedCols(0); });
        p.run(265, [&] { grdPERIOD->setFormatString(QStringLiteral("|Period Descr|Time")); });
        p.run(266, [&] { grdPERIOD->setFixedRows(1); });
        p.run(267, [&] { grdPERIOD->setRows(1); });
        p.run(268, [&] { grdPERIOD->setColWidth(0, 0); });
        p.run(269, [&] { grdPERIOD->setColWidth(1, 1955); });
        p.run(270, [&] { grdPERIOD->setColWidth(2, 700); });
        p.run(271, [&] { grdPERIOD->setColAlignment(1, Qt::AlignLeft | Qt::AlignVCenter); });
        p.run(272, [&] { grdPERIOD->setColAlignment(2, Qt::AlignRight | Qt::AlignVCenter); });
    });
}

void frmSet::cmdADD_Click()
{
    guarded(Module, QStringLiteral("cmdADD_Click"), [&](Procedure &p) {
        if (p.test(13, [&] { return txtPERIODLEGEND->text().isEmpty(); }))
            return;
        if (p.test(16, [&] { return txtPERIODTIME->text() == QStringLiteral("00:00") && !chkASKME->isChecked(); }))
            return;
        QString legend;
        QString time;
        p.run(19, [&] { legend = txtPERIODLEGEND->text(); });
        if (p.test(20, [&] { return chkASKME->isChecked(); }))
            p.run(21, [&] { time = QStringLiteral("Ask me"); });
        else
            p.run(23, [&] { time = txtPERIODTIME->text(); });
        p.run(25, [&] { grdPERIOD->addItem({QString(), legend, time}); });
        p.run(26, [&] { grdPERIOD->setRow(grdPERIOD->rows() - 1); });
        p.run(27, [&] { PeriodSetDirty = True; });
    });
}

void frmSet::cmdREMOVE_Click()
{
    guarded(Module, QStringLiteral("cmdREMOVE_Click"), [&](Procedure &p) {
        // Refused too while no period row is selected: the header row stays.
        if (p.test(129, [&] { return grdPERIOD->rows() == 1 || grdPERIOD->row() < 1; }))
            return;
        qint16 r = 0;
        p.run(132, [&] { r = cint16(grdPERIOD->row()); });
        if (p.test(133, [&] { return grdPERIOD->rows() == 2; }))
            p.run(134, [&] { FIX_GRID(); });
        else
            p.run(136, [&] { grdPERIOD->removeItem(r); });
        p.run(138, [&] { PeriodSetDirty = True; });
    });
}

// Both moves exchange the selected row r with its neighbour by taking the
// neighbour out and putting it back on the other side of r; the selected row
// itself is never rewritten. Their steps share the same line offsets.
void frmSet::exchangeWithNeighbour(Procedure &p, int firstLine, qint16 r, int step)
{
    qint16 neighbour = 0;
    QString legend;
    QString time;
    QStringList cells;
    p.run(firstLine, [&] { neighbour = cint16(qint64{r} + step); });
    p.run(firstLine + 1, [&] { legend = grdPERIOD->textMatrix(neighbour, 1); });
    p.run(firstLine + 2, [&] { time = grdPERIOD->textMatrix(neighbour, 2); });
    p.run(firstLine + 3, [&] { grdPERIOD->removeItem(neighbour); });
    p.run(firstLine + 4, [&] { cells = QStringList{QString(), legend, time}; });
    p.run(firstLine + 5, [&] { grdPERIOD->addItem(cells, r); });
    p.run(firstLine + 6, [&] { grdPERIOD->setRow(neighbour); });
    p.run(firstLine + 7, [&] { grdPERIOD->setCol(0); });
    p.run(firstLine + 8, [&] { grdPERIOD->setColSel(2); });
    p.run(firstLine + 9, [&] { PeriodSetDirty = True; });
}

void frmSet::cmdUP_Click()
{
    guarded(Module, QStringLiteral("cmdUP_Click"), [&](Procedure &p) {
        qint16 r = 0;
        p.run(172, [&] { r = cint16(grdPERIOD->row()); });
        if (p.test(173, [&] { return r < 2; }))
            return;
        exchangeWithNeighbour(p, 176, r, -1);
    });
}

void frmSet::cmdDOWN_Click()
{
    guarded(Module, QStringLiteral("cmdDOWN_Click"), [&](Procedure &p) {
        qint16 r = 0;
        p.run(36, [&] { r = cint16(grdPERIOD->row()); });
        // Refused too while no period row is selected: the header row stays.
        if (p.test(37, [&] { return r == grdPERIOD->rows() - 1 || r < 1; }))
            return;
        exchangeWithNeighbour(p, 40, r, +1);
    });
}

void frmSet::chkASKME_Click()
{
    guarded(Module, QStringLiteral("chkASKME_Click"), [&](Procedure &p) {
        if (p.test(2, [&] { return chkASKME->isChecked(); })) {
            p.run(3, [&] { txtPERIODTIME->setText(QStringLiteral("00:00")); });
            p.run(4, [&] { vsTIMEMIN->setEnabled(false); });
            p.run(5, [&] { vsTIMESEC->setEnabled(false); });
        } else {
            p.run(7, [&] { txtPERIODTIME->setText(timeText()); });
            p.run(8, [&] { vsTIMEMIN->setEnabled(true); });
            p.run(9, [&] { vsTIMESEC->setEnabled(true); });
        }
    });
}

void frmSet::vsTIMEMIN_Change()
{
    guarded(Module, QStringLiteral("vsTIMEMIN_Change"), [&](Procedure &p) {
        p.run(244, [&] { txtPERIODTIME->setText(timeText()); });
    });
}

void frmSet::vsTIMESEC_Change()
{
    // Assignments to a bar raise its change handler at once, nested.
    guarded(Module, QStringLiteral("vsTIMESEC_Change"), [&](Procedure &p) {
        if (p.test(247, [&] { return vsTIMESEC->value() == 60; })) {
            if (p.test(248, [&] { return vsTIMEMIN->value() < 60; })) {
                p.run(249, [&] { vsTIMEMIN->setValue(vsTIMEMIN->value() + 1); });
                p.run(250, [&] { vsTIMESEC->setValue(0); });
            } else {
                p.run(252, [&] { vsTIMESEC->setValue(59); });
            }
        }
        if (p.test(255, [&] { return vsTIMEMIN->value() == 60; }))
            p.run(256, [&] { vsTIMESEC->setValue(0); });
        p.run(258, [&] { txtPERIODTIME->setText(timeText()); });
    });
}

} // namespace periodix
