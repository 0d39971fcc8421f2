#pragma once

#include "clock/common.h"
#include "settings_window/frm_set.h"
#include "settings_window/period_grid.h"
#include "support/recording_sender.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_reports.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <memory>

// A fresh settings window, its dialogs and reports answered by script.
struct SettingsFixture {
    explicit SettingsFixture(const QString &localAddress = QStringLiteral("127.0.0.5"))
    {
        periodix::common::resetToProcessStart();
        sender.localAddress = localAddress;
        window = std::make_unique<periodix::frmSet>(sender);
    }

    template <class T = QWidget>
    T *control(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    periodix::PeriodGrid *grid() const { return control<periodix::PeriodGrid>("grdPERIOD"); }
    QLineEdit *legendBox() const { return control<QLineEdit>("txtPERIODLEGEND"); }
    QString timeBox() const { return control<QLineEdit>("txtPERIODTIME")->text(); }
    QScrollBar *minutes() const { return control<QScrollBar>("vsTIMEMIN"); }
    QScrollBar *seconds() const { return control<QScrollBar>("vsTIMESEC"); }
    QCheckBox *askMe() const { return control<QCheckBox>("chkASKME"); }
    QRadioButton *clockTimer() const { return control<QRadioButton>("optPASS"); }
    QRadioButton *countdown() const { return control<QRadioButton>("optLEFT"); }
    QLineEdit *address() const { return control<QLineEdit>("txtIP"); }

    // Adds a period through the editor, as the operator would.
    void add(const QString &legend, int minutes, int seconds, bool askMe = false)
    {
        legendBox()->setText(legend);
        this->askMe()->setChecked(askMe);
        if (!askMe) {
            this->minutes()->setValue(minutes);
            this->seconds()->setValue(seconds);
        }
        control<QPushButton>("cmdADD")->click();
    }

    // The grid's period rows as "legend|time".
    QStringList rows() const
    {
        QStringList list;
        for (int r = 1; r < grid()->rows(); ++r)
            list << grid()->textMatrix(r, 1) + u'|' + grid()->textMatrix(r, 2);
        return list;
    }

    ScriptedReports reports;
    ScriptedDialogs dialogs;
    RecordingSender sender;
    std::unique_ptr<periodix::frmSet> window;
};
