#include "app/TaskbarStandIn.h"

#include "dialogs/ApplicationTitle.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace velmora {

TaskbarStandIn::TaskbarStandIn(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("taskbarStandIn"));
    auto* text = new QLabel(QStringLiteral("Velmora is locked.\nClick here or press Enter to unlock."), this);
    text->setObjectName(QStringLiteral("lblLocked"));
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    resize(320, 120);
    ApplicationTitle::Follow(*this);
}

void TaskbarStandIn::ShowMinimised()
{
    m_waiting = true;
    showMinimized();
}

void TaskbarStandIn::Withdraw()
{
    m_waiting = false;
    hide();
}

void TaskbarStandIn::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Some platforms activate a window as it is shown, minimised or not; only the
    // user's restoring (or activating the restored window) counts.
    if (!m_waiting || isMinimized() || !isVisible())
        return;
    if (event->type() == QEvent::WindowStateChange || (event->type() == QEvent::ActivationChange && isActiveWindow()))
        Report();
}

void TaskbarStandIn::closeEvent(QCloseEvent* event)
{
    // Closing it from the taskbar is bringing the program back too: the password
    // decides what happens next.
    event->ignore();
    if (m_waiting)
        Report();
}

void TaskbarStandIn::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_waiting) {
        Report();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TaskbarStandIn::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_waiting) {
        Report();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TaskbarStandIn::Report()
{
    m_waiting = false;
    emit Activated();
}

} // namespace velmora
