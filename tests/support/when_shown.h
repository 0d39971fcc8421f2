#pragma once

#include <QApplication>
#include <QTimer>
#include <QtTest>

#include <functional>

// Runs `action` on the modal dialog of type Dialog as soon as it is shown,
// from the dialog's own event loop: the test answers it as an operator would.
template <class Dialog>
void whenShown(std::function<void(Dialog *)> action)
{
    QTimer::singleShot(0, [action] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        action(dialog);
    });
}
