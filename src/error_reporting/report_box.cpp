#include "error_reporting/report_box.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>

namespace periodix {

ReportBox::ReportBox(const ErrorReport &report, QWidget *parent) : QMessageBox(parent)
{
    setObjectName(QStringLiteral("errorReport"));
    setWindowTitle(QStringLiteral("Periodix"));
    setIcon(QMessageBox::NoIcon);
    setText(report.text());
    setTextFormat(Qt::PlainText);
    setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    setDefaultButton(QMessageBox::Abort);
    // Alt+A, Alt+R and Alt+I (or the letters alone) answer from the keyboard.
    button(QMessageBox::Abort)->setText(QStringLiteral("&Abort"));
    button(QMessageBox::Retry)->setText(QStringLiteral("&Retry"));
    button(QMessageBox::Ignore)->setText(QStringLiteral("&Ignore"));
}

Choice ReportBox::choice() const
{
    const QAbstractButton *clicked = clickedButton();
    if (clicked == button(QMessageBox::Retry))
        return Choice::Retry;
    if (clicked == button(QMessageBox::Ignore))
        return Choice::Ignore;
    return Choice::Abort;
}

void ReportBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void ReportBox::closeEvent(QCloseEvent *event)
{
    if (!clickedButton()) {
        event->ignore();
        return;
    }
    QMessageBox::closeEvent(event);
}

Choice showReportBox(const ErrorReport &report)
{
    ReportBox box(report);
    box.exec();
    return box.choice();
}

} // namespace periodix
