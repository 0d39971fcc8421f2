#include "platform/dialogs.h"
#include "support/when_shown.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace periodix;


// The real dialogs, answered as an operator would.
class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void inputBox_titlePromptEmptyDefaultAndOk();
    void inputBox_cancelGivesEmptyText();
    void question_yesIsDefaultWithQuestionIcon();
    void question_no();
    void fileDialog_titleFilterAndCancel();
    void fileDialog_saveRefusesNameInMissingFolder();
    void filter_allFilesMatchesEveryName();
};

void DialogsTest::inputBox_titlePromptEmptyDefaultAndOk()
{
    whenShown<QInputDialog>([](QInputDialog *box) {
        QCOMPARE(box->windowTitle(), QString("Periodix"));
        QCOMPARE(box->labelText(), QString("Minutes for the <b>OT</b> & co"));
        // The legend in the prompt shows as typed: no markup, no shortcut.
        const auto *label = box->findChild<QLabel *>();
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(!label->buddy());
        QCOMPARE(box->textValue(), QString());
        QCOMPARE(box->okButtonText(), QString("OK"));
        QCOMPARE(box->cancelButtonText(), QString("Cancel"));
        QTest::keyClicks(box->findChild<QLineEdit *>(), "5");
        QTest::keyClick(box->findChild<QLineEdit *>(), Qt::Key_Return);
    });
    QCOMPARE(QtDialogs().inputBox(nullptr, "Minutes for the <b>OT</b> & co"), QString("5"));
}

void DialogsTest::inputBox_cancelGivesEmptyText()
{
    whenShown<QInputDialog>([](QInputDialog *box) {
        QTest::keyClicks(box->findChild<QLineEdit *>(), "7");
        box->reject();
    });
    QCOMPARE(QtDialogs().inputBox(nullptr, "Seconds for the Overtime"), QString());
}

void DialogsTest::question_yesIsDefaultWithQuestionIcon()
{
    whenShown<QMessageBox>([](QMessageBox *box) {
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->windowTitle(), QString("Periodix"));
        QCOMPARE(box->text(), QString("You lose the current set.\nContinue ?"));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        QVERIFY(box->button(QMessageBox::No));
        QTest::keyClick(box, Qt::Key_Return);
    });
    QVERIFY(QtDialogs().askYesNo(nullptr, "You lose the current set.\rContinue ?"));
}

void DialogsTest::question_no()
{
    whenShown<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::No)->click(); });
    QVERIFY(!QtDialogs().askYesNo(nullptr, "You lose the current set.\rContinue ?"));
}

void DialogsTest::fileDialog_titleFilterAndCancel()
{
    whenShown<QFileDialog>([](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Save Period Set"));
        QCOMPARE(dialog->nameFilters(), QStringList({"Period Script (*.ptm)", "All files (*)"}));
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(dialog->defaultSuffix().isEmpty());
        dialog->reject();
    });
    FileDialogSetup setup{"Save Period Set", "Period Script (*.ptm)|*.ptm|All files (*.*)|*.*", true, false, true};
    QCOMPARE(QtDialogs().fileName(nullptr, setup), QString());

    whenShown<QFileDialog>([](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Load Period Set"));
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->reject();
    });
    setup = {"Load Period Set", "Period Script (*.ptm)|*.ptm|All files (*.*)|*.*", false, true, false};
    QCOMPARE(QtDialogs().fileName(nullptr, setup), QString());
}

void DialogsTest::fileDialog_saveRefusesNameInMissingFolder()
{
    QTemporaryDir holder;
    const QString missing = holder.filePath("gone/set.ptm");
    const QString good = holder.filePath("set.ptm");
    bool warned = false;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        whenShown<QMessageBox>([&](QMessageBox *box) {
            warned = box->text().contains("does not exist");
            box->accept();
        });
        dialog->selectFile(missing);
        static_cast<QDialog *>(dialog)->accept();
        QVERIFY(dialog->isVisible()); // still choosing
        dialog->selectFile(good);
        static_cast<QDialog *>(dialog)->accept();
    });
    FileDialogSetup setup{"Save Period Set", "Period Script (*.ptm)|*.ptm", true, false, true, true};
    QCOMPARE(QtDialogs().fileName(nullptr, setup), good);
    QVERIFY(warned);
}

void DialogsTest::filter_allFilesMatchesEveryName()
{
    QCOMPARE(qtFilter("Period Script (*.ptm)|*.ptm|All files (*.*)|*.*"),
             QString("Period Script (*.ptm);;All files (*)"));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
