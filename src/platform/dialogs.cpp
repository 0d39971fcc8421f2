#include "platform/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

namespace periodix {

namespace {
Dialogs *installed = nullptr;

QString applicationTitle()
{
    return QStringLiteral("Periodix");
}

} // namespace

Dialogs &dialogs()
{
    static QtDialogs qt;
    return installed ? *installed : qt;
}

void setDialogs(Dialogs *replacement)
{
    installed = replacement;
}

QString QtDialogs::inputBox(QWidget *parent, const QString &prompt)
{
    QInputDialog box(parent);
    box.setObjectName(QStringLiteral("inputBox"));
    box.setWindowTitle(applicationTitle());
    box.setLabelText(prompt);
    box.setTextValue(QString());
    box.setInputMode(QInputDialog::TextInput);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Cancel"));
    // The prompt holds a legend, shown as typed: no markup, and no "&" taken
    // for a shortcut of the text field. The size hint lays the box out first,
    // which gives the label its buddy.
    (void)box.sizeHint();
    if (auto *label = box.findChild<QLabel *>()) {
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(nullptr);
    }
    if (box.exec() != QDialog::Accepted)
        return QString();
    return box.textValue();
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &text)
{
    // A lone CR breaks the line, as the operator expects to see it.
    QString shown = text;
    shown.replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::Question, applicationTitle(), shown, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("question"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

namespace {

// Qt's own file dialog, which can also refuse a name in a folder that does
// not exist: the operator hears of it while still choosing, not later as an
// error of the save.
class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget *parent, const QString &title, bool existingFolderOnly)
        : QFileDialog(parent, title), existingFolderOnly_(existingFolderOnly)
    {
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (existingFolderOnly_ && !files.isEmpty()) {
            const QFileInfo chosen(files.first());
            if (!chosen.isDir() && !chosen.absoluteDir().exists()) {
                QMessageBox box(QMessageBox::Warning, windowTitle(),
                                chosen.absolutePath() + QStringLiteral("\nThe folder does not exist.\n"
                                                                       "Check the name and try again."),
                                QMessageBox::Ok, this);
                box.setObjectName(QStringLiteral("missingFolder"));
                box.setTextFormat(Qt::PlainText);
                box.exec();
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool existingFolderOnly_;
};

} // namespace

QString QtDialogs::fileName(QWidget *parent, const FileDialogSetup &setup)
{
    FileDialog dialog(parent, setup.title, setup.existingFolderOnly);
    dialog.setObjectName(QStringLiteral("dlgFILE"));
    dialog.setNameFilters(qtFilter(setup.filter).split(QStringLiteral(";;")));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !setup.confirmOverwrite);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(setup.existingFileOnly ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setAcceptMode(setup.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QString()); // a name typed without extension is used as typed
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString qtFilter(const QString &pipeFilter)
{
    const QStringList parts = pipeFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // On this platform every file matches "*"; "*.*" would miss names without a dot.
        QString pattern = parts[i + 1] == QStringLiteral("*.*") ? QStringLiteral("*") : parts[i + 1];
        QString label = parts[i];
        label.truncate(label.indexOf(u'(') < 0 ? label.size() : label.indexOf(u'('));
        filters << QStringLiteral("%1 (%2)").arg(label.trimmed(), pattern);
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace periodix
