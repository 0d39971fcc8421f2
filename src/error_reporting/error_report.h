#pragma once

#include <QString>

#include <functional>

namespace periodix {

enum class Choice { Abort, Retry, Ignore };

struct ErrorReport {
    QString module;
    QString procedure;
    qint32 number = 0;
    QString description;
    int line = 0;

    // The four lines the operator reads, joined by CR LF.
    QString text() const;
};

// Shows one report (a message box in the running program) and returns the
// operator's choice. Tests install a scripted presenter.
using ReportPresenter = std::function<Choice(const ErrorReport &)>;
void setReportPresenter(ReportPresenter presenter);

Choice REPORT_ERROR(const QString &module, const QString &procedure, qint32 number,
                    const QString &description, int line);

// True while a report waits for the operator; the clock timer holds its
// ticks back meanwhile so that no tick runs inside a half-finished command.
bool isReportOpen();

} // namespace periodix
