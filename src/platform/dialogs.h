#pragma once

#include <QString>

class QWidget;

namespace periodix {

// What a file dialog is set up with before it is shown.
struct FileDialogSetup {
    QString title;
    QString filter;        // "Name (*.ext)|*.ext|..." pairs
    bool confirmOverwrite = false;
    bool existingFileOnly = false;
    bool save = false;     // shown for saving, not for opening
    bool existingFolderOnly = false;
};

// The modal boxes the program asks the operator with. Tests install scripted
// answers; the running program shows Qt's dialogs.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A text input box titled with the application's name: OK gives the text,
    // Cancel the empty text.
    virtual QString inputBox(QWidget *parent, const QString &prompt) = 0;
    // A question with Yes and No, Yes the default; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
    // File name chosen, or empty when cancelled.
    virtual QString fileName(QWidget *parent, const FileDialogSetup &setup) = 0;
};

Dialogs &dialogs();
// nullptr restores Qt's dialogs.
void setDialogs(Dialogs *replacement);

// Qt's own dialogs, as the running program shows them.
class QtDialogs : public Dialogs {
public:
    QString inputBox(QWidget *parent, const QString &prompt) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
    QString fileName(QWidget *parent, const FileDialogSetup &setup) override;
};

// The file filter in Qt's notation: "A (*.a);;B (*.*)".
QString qtFilter(const QString &pipeFilter);

} // namespace periodix
