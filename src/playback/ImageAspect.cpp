#include "playback/ImageAspect.h"

#include "playback/AspectFit.h"

#include <QMouseEvent>
#include <QPainter>

namespace velmora {

TImageAspect::TImageAspect(QWidget* parent) : QWidget(parent)
{
    // A lightweight control: it paints only where the picture goes.
    setAttribute(Qt::WA_NoSystemBackground);
    resize(32, 32);
}

void TImageAspect::SetPicture(const QImage& picture)
{
    m_picture = picture;
    if (m_autoSize && !m_picture.isNull() && size() != m_picture.size()) {
        m_sizingToPicture = true;
        resize(m_picture.size());
        m_sizingToPicture = false;
    }
    update();
}

void TImageAspect::ClearPicture()
{
    m_picture = QImage();
    update();
}

void TImageAspect::SetScalePast100(bool scale)
{
    if (m_scalePast100 == scale)
        return;
    m_scalePast100 = scale;
    update();
}

void TImageAspect::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (m_autoSize && !m_picture.isNull())
        SetPicture(m_picture);
}

QRect TImageAspect::TargetRect() const
{
    if (m_picture.isNull())
        return {};
    const AspectRect r =
        FitImageAspect(width(), height(), m_picture.width(), m_picture.height(), m_scalePast100);
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

void TImageAspect::paintEvent(QPaintEvent*)
{
    const QRect target = TargetRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

void TImageAspect::resizeEvent(QResizeEvent* event)
{
    if (!m_sizingToPicture && !m_picture.isNull() && event->size() != m_picture.size())
        m_autoSize = false;
    QWidget::resizeEvent(event);
}

void TImageAspect::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
    QWidget::mouseReleaseEvent(event);
}

void TImageAspect::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit DblClick();
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace velmora
