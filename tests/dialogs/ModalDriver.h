#pragma once

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include <functional>

namespace velmora::test {

// Runs action on the modal dialog of type T once it is open. A dialog the action leaves
// open is ended with -1, so a faulty test fails instead of waiting for ever.
template <typename T>
void WhenModalOpens(std::function<void(T&)> action)
{
    QTimer::singleShot(0, [action] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->done(-1);
            return;
        }
        action(*dialog);
        if (dialog->isVisible())
            dialog->done(-1);
    });
}

// A key press as the user makes it: to the widget with the focus in the dialog.
inline void PressKey(QWidget& window, Qt::Key key)
{
    QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
    QTest::keyClick(target, key);
}

} // namespace velmora::test
