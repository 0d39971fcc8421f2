#pragma once

#include "error_reporting/error_report.h"

#include <QMessageBox>

namespace periodix {

// The report as the operator sees it: a message box titled Periodix with
// Abort, Retry and Ignore, Abort the default, no icon. Escape and the close
// box do nothing, so the program never ends by a stray key.
class ReportBox : public QMessageBox {
    Q_OBJECT
public:
    explicit ReportBox(const ErrorReport &report, QWidget *parent = nullptr);

    // The operator's choice after exec().
    Choice choice() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};

// Shows the report modally and returns the choice; the running program's
// presenter.
Choice showReportBox(const ErrorReport &report);

} // namespace periodix
