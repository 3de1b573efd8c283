#pragma once

#include <QVideoWidget>

namespace velmora {

// The picture of a player control: a black video widget. In its own full-screen mode
// (the legacy control's display size 3) Escape and a double click return it to its
// window, as the control's own full-screen mode did.
class TVideoDisplay : public QVideoWidget {
    Q_OBJECT
public:
    explicit TVideoDisplay(QWidget* parent);

signals:
    void LeaveFullScreenRequested();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace velmora
