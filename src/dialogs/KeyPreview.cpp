#include "dialogs/KeyPreview.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QWidget>

namespace velmora {

KeyPreview::KeyPreview(QWidget* form, Handler handler) : QObject(form), m_handler(std::move(handler))
{
    Watch(form);
}

void KeyPreview::Watch(QObject* object)
{
    if (!object->isWidgetType())
        return;
    object->installEventFilter(this);
    for (QObject* child : object->children())
        Watch(child);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        Watch(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::ShortcutOverride:
        // Claim the keys the form handles, so that no shortcut takes them first.
        if (m_handler) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                event->accept();
        }
        break;
    case QEvent::KeyPress:
        if (m_handler && m_handler(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
