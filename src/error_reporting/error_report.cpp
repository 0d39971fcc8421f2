#include "error_reporting/error_report.h"

#include <cstdio>

namespace periodix {

namespace {
ReportPresenter &presenter()
{
    static ReportPresenter instance;
    return instance;
}
int openReports = 0;
} // namespace

QString ErrorReport::text() const
{
    return QStringLiteral("Error %1\r\n%2\r\nLocation: Periodix.%3.%4\r\nLine %5")
        .arg(number)
        .arg(description, module, procedure)
        .arg(line);
}

void setReportPresenter(ReportPresenter p)
{
    presenter() = std::move(p);
}

Choice REPORT_ERROR(const QString &module, const QString &procedure, qint32 number,
                    const QString &description, int line)
{
    const ErrorReport report{module, procedure, number, description, line};
    if (!presenter()) {
        // No window to ask in: say what happened and end, as Abort would.
        std::fprintf(stderr, "%s\n", qPrintable(report.text()));
        return Choice::Abort;
    }
    struct OpenGuard {
        OpenGuard() { ++openReports; }
        ~OpenGuard() { --openReports; }
    } open;
    return presenter()(report);
}

bool isReportOpen()
{
    return openReports > 0;
}

} // namespace periodix
