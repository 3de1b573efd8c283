#include "playback/AspectFit.h"

namespace velmora {

AspectRect FitImageAspect(int controlWidth, int controlHeight, int pictureWidth, int pictureHeight,
                          bool scalePast100)
{
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {};
    int width = controlWidth;
    int height = controlHeight;
    int x0 = 0;
    int y0 = 0;
    if (!scalePast100) {
        if (pictureWidth < controlWidth) {
            width = pictureWidth;
            x0 = (controlWidth - pictureWidth) / 2;
        }
        if (pictureHeight < controlHeight) {
            height = pictureHeight;
            y0 = (controlHeight - pictureHeight) / 2;
        }
    }
    const double sx = static_cast<double>(width) / pictureWidth;
    const double sy = static_cast<double>(height) / pictureHeight;
    AspectRect target;
    if (sx > sy) {
        // The height limits: full height, the width follows and is centred.
        const int w = static_cast<int>(pictureWidth * sy);
        target.top = y0;
        target.bottom = y0 + height;
        target.left = x0 + (width - w) / 2;
        target.right = target.left + w;
    } else {
        const int h = static_cast<int>(pictureHeight * sx);
        target.left = x0;
        target.right = x0 + width;
        target.top = y0 + (height - h) / 2;
        target.bottom = target.top + h;
    }
    return target;
}

} // namespace velmora
