#pragma once

#include <QImage>
#include <QWidget>

namespace velmora {

// A picture drawn scaled to fit while keeping its proportions (FitImageAspect);
// nothing else is painted, so the parent's background shows around it. The picture
// is held as one plain bitmap: painting only stretches it.
class TImageAspect : public QWidget {
    Q_OBJECT
public:
    explicit TImageAspect(QWidget* parent = nullptr);

    const QImage& Picture() const { return m_picture; }
    // Copies the picture and repaints; with AutoSize the control takes its size.
    void SetPicture(const QImage& picture);
    // Drops the picture and its memory.
    void ClearPicture();

    bool ScalePast100() const { return m_scalePast100; }
    void SetScalePast100(bool scale);

    // Any resize to another size than the picture's turns AutoSize off.
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);

    // Where the picture is drawn at the control's current size; empty without one.
    QRect TargetRect() const;

signals:
    void Click();
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    bool m_scalePast100 = false;
    bool m_autoSize = true;
    bool m_sizingToPicture = false;
};

} // namespace velmora
