#include "playback/VideoDisplay.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace velmora {

TVideoDisplay::TVideoDisplay(QWidget* parent)
    : QVideoWidget(parent)
{
    setObjectName(QStringLiteral("Player"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("background-color: black;"));
    setAspectRatioMode(Qt::KeepAspectRatio);
}

void TVideoDisplay::keyReleaseEvent(QKeyEvent* event)
{
    if (isFullScreen() && event->key() == Qt::Key_Escape) {
        emit LeaveFullScreenRequested();
        return;
    }
    QVideoWidget::keyReleaseEvent(event);
}

void TVideoDisplay::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (isFullScreen()) {
        emit LeaveFullScreenRequested();
        return;
    }
    QVideoWidget::mouseDoubleClickEvent(event);
}

} // namespace velmora
