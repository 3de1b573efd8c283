#pragma once

// Reading back what a real X server shows: the screen's own pixels under a widget,
// native child windows (the video window) included.
#include <QColor>
#include <QImage>

class QWidget;

namespace velmora::test {

// The screen's pixels where the widget lies.
QImage ScreenShot(const QWidget* widget);
// The share (0..1) of the widget's screen pixels that are not black.
double LitShare(const QWidget* widget);
// The share (0..1) of the image's pixels within `tolerance` of colour on every channel.
double ColourShare(const QImage& image, QColor colour, int tolerance = 8);

} // namespace velmora::test
