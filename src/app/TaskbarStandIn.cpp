#include "app/TaskbarStandIn.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace velmora {

TaskbarStandIn::TaskbarStandIn(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("taskbarStandIn"));
    auto* text = new QLabel(QStringLiteral("Velmora is locked."), this);
    text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    resize(320, 120);
}

void TaskbarStandIn::ShowMinimised()
{
    m_waiting = true;
    setWindowTitle(QString());   // the application title
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

void TaskbarStandIn::Report()
{
    m_waiting = false;
    emit Activated();
}

} // namespace velmora
