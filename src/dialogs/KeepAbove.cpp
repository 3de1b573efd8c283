#include "dialogs/KeepAbove.h"

#include <QWidget>
#include <QWindow>

namespace velmora {

void KeepAbove(QWidget& window, QWidget& owner)
{
    window.winId();   // makes the native window, so that it can be given a transient parent
    QWidget* ownerWindow = owner.window();
    ownerWindow->winId();
    if (window.windowHandle() && ownerWindow->windowHandle())
        window.windowHandle()->setTransientParent(ownerWindow->windowHandle());
}

} // namespace velmora
