#pragma once

#include "platform/dialogs.h"

#include <QQueue>
#include <QStringList>

// Answers the program's modal boxes from a script and keeps what was asked.
class ScriptedDialogs final : public periodix::Dialogs {
public:
    ScriptedDialogs() { periodix::setDialogs(this); }
    ~ScriptedDialogs() override { periodix::setDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    QString inputBox(QWidget *, const QString &prompt) override
    {
        prompts << prompt;
        return inputs.isEmpty() ? QString() : inputs.dequeue(); // Cancel when unscripted
    }
    bool askYesNo(QWidget *, const QString &text) override
    {
        questions << text;
        return yesNo.isEmpty() ? true : yesNo.dequeue();
    }
    QString fileName(QWidget *, const periodix::FileDialogSetup &setup) override
    {
        fileDialogs << setup;
        return fileNames.isEmpty() ? QString() : fileNames.dequeue(); // Cancel when unscripted
    }

    QQueue<QString> inputs;
    QQueue<bool> yesNo;
    QQueue<QString> fileNames;
    QStringList prompts;
    QStringList questions;
    QList<periodix::FileDialogSetup> fileDialogs;
};
