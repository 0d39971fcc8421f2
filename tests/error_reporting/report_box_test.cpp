#include "error_reporting/report_box.h"
#include "support/when_shown.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QtTest>

using namespace periodix;

namespace {
const ErrorReport sample{"frmSet", "cmdOK_Click", 9, "Subscript out of range", 107};
} // namespace

class ReportBoxTest : public QObject {
    Q_OBJECT
private slots:
    void box_hasTitleTextButtonsAndNoIcon();
    void enter_choosesAbort();
    void buttons_giveTheirChoice_data();
    void buttons_giveTheirChoice();
    void escape_doesNothing();
};

void ReportBoxTest::box_hasTitleTextButtonsAndNoIcon()
{
    ReportBox box(sample);
    QCOMPARE(box.windowTitle(), QString("Periodix"));
    QCOMPARE(box.text(), QString("Error 9\r\nSubscript out of range\r\nLocation: Periodix.frmSet.cmdOK_Click\r\nLine 107"));
    QCOMPARE(box.icon(), QMessageBox::NoIcon);
    QCOMPARE(box.standardButtons(), QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    QCOMPARE(box.defaultButton(), box.button(QMessageBox::Abort));
}

void ReportBoxTest::enter_choosesAbort()
{
    whenShown<ReportBox>([](ReportBox *box) { QTest::keyClick(box, Qt::Key_Return); });
    QCOMPARE(showReportBox(sample), Choice::Abort);
}

void ReportBoxTest::buttons_giveTheirChoice_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<Choice>("choice");
    QTest::newRow("Abort") << int(QMessageBox::Abort) << Choice::Abort;
    QTest::newRow("Retry") << int(QMessageBox::Retry) << Choice::Retry;
    QTest::newRow("Ignore") << int(QMessageBox::Ignore) << Choice::Ignore;
}

void ReportBoxTest::buttons_giveTheirChoice()
{
    QFETCH(int, button);
    QFETCH(Choice, choice);
    whenShown<ReportBox>([button](ReportBox *box) { box->button(QMessageBox::StandardButton(button))->click(); });
    QCOMPARE(showReportBox(sample), choice);
}

void ReportBoxTest::escape_doesNothing()
{
    bool stillOpen = false;
    whenShown<ReportBox>([&stillOpen](ReportBox *box) {
        QTest::keyClick(box, Qt::Key_Escape);
        stillOpen = box->isVisible();
        box->button(QMessageBox::Ignore)->click();
    });
    QCOMPARE(showReportBox(sample), Choice::Ignore);
    QVERIFY(stillOpen);
}

QTEST_MAIN(ReportBoxTest)
#include "report_box_test.moc"
