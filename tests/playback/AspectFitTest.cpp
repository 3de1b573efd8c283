// Where the preview's picture control draws a picture.
#include "playback/AspectFit.h"

#include <gtest/gtest.h>

#include <ostream>

namespace velmora {

std::ostream& operator<<(std::ostream& out, const AspectRect& r)
{
    return out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

struct FitCase {
    int controlWidth, controlHeight, pictureWidth, pictureHeight;
    bool scalePast100;
    AspectRect expected;
};

TEST(FitImageAspect, Table)
{
    const FitCase cases[] = {
        // Larger than the control: the width limits, centred vertically.
        {400, 300, 800, 400, false, {0, 50, 400, 250}},
        {400, 300, 800, 400, true, {0, 50, 400, 250}},
        // Smaller: kept at its own size and centred, or enlarged to fit.
        {400, 300, 200, 100, false, {100, 100, 300, 200}},
        {400, 300, 200, 100, true, {0, 50, 400, 250}},
        // The height limits: full height, centred horizontally.
        {400, 300, 200, 600, false, {150, 0, 250, 300}},
        {400, 300, 200, 600, true, {150, 0, 250, 300}},
        // Wider than the control but lower: its own height would fit, the width limits.
        {400, 300, 500, 100, false, {0, 110, 400, 190}},
        // Taller but narrower: fitted to the height either way.
        {400, 300, 100, 600, false, {175, 0, 225, 300}},
        {400, 300, 100, 600, true, {175, 0, 225, 300}},
        // Same proportions (equal scales take the width branch) and the same size.
        {400, 300, 800, 600, false, {0, 0, 400, 300}},
        {400, 300, 400, 300, false, {0, 0, 400, 300}},
        // Odd leftovers are cut: (401 - 100) div 2 = 150.
        {401, 301, 100, 100, false, {150, 100, 250, 200}},
        // Trunc of a scaled side: 3 x 10/7 = 4.28 -> 4, centred at (10 - 4) div 2.
        {10, 10, 7, 3, true, {0, 3, 10, 7}},
        {10, 10, 3, 7, true, {3, 0, 7, 10}},
        // A control without area draws nothing visible.
        {0, 0, 100, 50, false, {0, 0, 0, 0}},
        // A picture without area is not drawn.
        {400, 300, 0, 50, false, {0, 0, 0, 0}},
        {400, 300, 50, 0, true, {0, 0, 0, 0}},
    };
    for (const FitCase& c : cases) {
        EXPECT_EQ(FitImageAspect(c.controlWidth, c.controlHeight, c.pictureWidth, c.pictureHeight, c.scalePast100),
                  c.expected)
            << c.controlWidth << "x" << c.controlHeight << " control, " << c.pictureWidth << "x"
            << c.pictureHeight << " picture, scalePast100 " << c.scalePast100;
    }
}

} // namespace
} // namespace velmora
