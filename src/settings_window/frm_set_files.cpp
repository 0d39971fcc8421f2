// Saving and loading period sets as Period Script files.

#include "settings_window/frm_set.h"

#include "clock/common.h"
#include "error_reporting/statement_guard.h"
#include "platform/dialogs.h"
#include "settings_window/period_grid.h"
#include "files/leftovers.h"
#include "files/period_script_writer.h"

#include <QDir>
#include <QLocale>
#include <QRadioButton>

namespace periodix {

using common::PeriodSetDirty;

namespace {
const QString Module = QStringLiteral("frmSet");
} // namespace

// Both commands prepare the file dialog in the same five steps (file name,
// flags, title, filter, show); saving asks before overwriting and needs an
// existing folder, loading needs an existing file. Empty means cancelled.
QString frmSet::askFileName(Procedure &p, int firstLine, bool saving)
{
    FileDialogSetup dialog;
    QString fileName;
    p.run(firstLine, [&] { fileName.clear(); });
    p.run(firstLine + 1, [&] {
        dialog.save = saving;
        dialog.confirmOverwrite = saving;
        dialog.existingFileOnly = !saving;
        dialog.existingFolderOnly = saving;
    });
    p.run(firstLine + 2, [&] { dialog.title = saving ? QStringLiteral("Save Period Set") : QStringLiteral("Load Period Set"); });
    p.run(firstLine + 3, [&] { dialog.filter = FileFilter; });
    p.run(firstLine + 4, [&] { fileName = dialogs().fileName(this, dialog); });
    return fileName;
}

// A save of this set that did not finish (a crash, a power cut) left copies:
// the operator is told where and when. Loading may take the newest copy
// instead; saving goes on only when asked to. What to load or save, or
// empty for nothing.
QString frmSet::askAboutLeftovers(const QString &fileName, bool saving)
{
    const QList<Leftover> left = leftoversOf(fileName);
    if (left.isEmpty())
        return fileName;
    QString text = QStringLiteral("A save of this set that did not finish left a copy, written %1, in\r%2")
                       .arg(QLocale().toString(left[0].written, QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                            QDir::toNativeSeparators(left[0].path));
    if (left.size() > 1)
        text += QStringLiteral("\r(and %1 older beside it)").arg(left.size() - 1);
    if (saving)
        return dialogs().askYesNo(this, text + QStringLiteral("\rThe copy stays. Save all the same ?")) ? fileName : QString();
    return dialogs().askYesNo(this, text + QStringLiteral("\rLoad the copy instead ?")) ? left[0].path : fileName;
}

void frmSet::cmdSAVE_Click()
{
    guarded(Module, QStringLiteral("cmdSAVE_Click"), [&](Procedure &p) {
        if (p.test(142, [&] { return grdPERIOD->rows() == 1; }))
            return;
        QString fileName = askFileName(p, 145, true);
        if (p.test(150, [&] { return fileName.isEmpty(); }))
            return;
        p.run(151, [&] { fileName = askAboutLeftovers(fileName, true); });
        if (p.test(152, [&] { return fileName.isEmpty(); }))
            return;
        ScriptWriter file;
        p.run(153, [] {}); // a free file handle
        p.run(154, [&] { file.open(fileName); });
        if (p.test(155, [&] { return optPASS->isChecked(); }))
            p.run(156, [&] { file.writeLine(156, QStringLiteral("TimePass")); });
        if (p.test(158, [&] { return optLEFT->isChecked(); }))
            p.run(159, [&] { file.writeLine(159, QStringLiteral("TimeLeft")); });
        qint16 i = 0;
        const int last = grdPERIOD->rows() - 1;
        p.countedLoop(161, 164, i, [&] { return std::pair<qint16, qint16>(1, cint16(last)); }, [&] {
            p.run(162, [&] { file.writeLine(162, grdPERIOD->textMatrix(i, 1)); });
            p.run(163, [&] { file.writeLine(163, grdPERIOD->textMatrix(i, 2)); });
        });
        p.run(165, [&] { file.close(); });
        // A save that left the old set on disk (a close refused and ignored)
        // leaves the edits unsaved, so that loading still warns.
        p.run(166, [&] {
            if (file.saved())
                PeriodSetDirty = False;
        });
    });
}

void frmSet::cmdLOAD_Click()
{
    guarded(Module, QStringLiteral("cmdLOAD_Click"), [&](Procedure &p) {
        bool answerYes = true;
        if (p.test(54, [&] { return grdPERIOD->rows() > 1 && PeriodSetDirty != False; })) {
            p.run(55, [&] {
                answerYes = dialogs().askYesNo(this, QStringLiteral("You lose the current set.\rContinue ?"));
            });
            if (p.test(56, [&] { return !answerYes; }))
                return;
        }
        p.run(60, [&] { FIX_GRID(); });
        QString fileName = askFileName(p, 61, false);
        if (p.test(66, [&] { return fileName.isEmpty(); }))
            return;
        p.run(67, [&] { fileName = askAboutLeftovers(fileName, false); });
        ScriptReader file;
        QString keyword;
        p.run(69, [] {}); // a free file handle
        p.run(70, [&] { file.open(fileName); });
        p.run(71, [&] { keyword = file.readLine(); });
        if (p.test(72, [&] { return keyword == QStringLiteral("TimePass"); }))
            p.run(73, [&] { optPASS->setChecked(true); });
        if (p.test(75, [&] { return keyword == QStringLiteral("TimeLeft"); }))
            p.run(76, [&] { optLEFT->setChecked(true); });
        p.untilLoop(78, [&] { return file.atEnd(); }, [&] {
            QString legend;
            QString time;
            QStringList cells;
            p.run(79, [&] { legend = file.readLine(); });
            p.run(80, [&] { time = file.readLine(); });
            p.run(81, [&] { cells = QStringList{QString(), legend, time}; });
            p.run(82, [&] { grdPERIOD->addItem(cells); });
        });
        p.run(84, [&] { file.close(); });
        p.run(85, [&] { PeriodSetDirty = False; });
    });
}

} // namespace periodix
