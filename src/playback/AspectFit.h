#pragma once

namespace velmora {

// A drawing target: left and top inside, right and bottom just outside.
struct AspectRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const AspectRect&) const = default;
};

// Where the preview's picture control draws a picture of pictureWidth x pictureHeight
// in a control of controlWidth x controlHeight: scaled to the side that limits it,
// proportions kept, centred the other way. Unless scalePast100, a picture smaller
// than the control on a side keeps its own size on that side and is centred there.
// A picture without area gets an empty rectangle (nothing is drawn).
AspectRect FitImageAspect(int controlWidth, int controlHeight, int pictureWidth, int pictureHeight,
                          bool scalePast100);

} // namespace velmora
