#pragma once

// Reading back what a real X server shows: the screen's own pixels under a widget,
// native child windows (the video window) included.
#include "support/ImageColours.h"

#include <QImage>

class QWidget;

namespace velmora::test {

// The screen's pixels where the widget lies.
QImage ScreenShot(const QWidget* widget);
// The share (0..1) of the widget's screen pixels that are not black.
double LitShare(const QWidget* widget);

} // namespace velmora::test
