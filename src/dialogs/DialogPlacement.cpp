#include "dialogs/DialogPlacement.h"

namespace velmora {

namespace {

// Holds a span [start, start + size) inside [low, low + extent): the start edge first,
// so a span larger than the screen begins at its edge.
int HoldOnScreen(int start, int size, int low, int extent)
{
    if (start < low)
        return low;
    if (start + size > low + extent)
        return low + extent - size;
    return start;
}

} // namespace

WindowPosition MessageBoxPosition(const ScreenRect& owner, int width, int height,
                                  const ScreenRect& screen)
{
    WindowPosition position;
    position.left = owner.left + owner.width / 2 - width / 2;
    position.top = owner.top + owner.height / 2 - height / 2;
    position.left = HoldOnScreen(position.left, width, screen.left, screen.width);
    position.top = HoldOnScreen(position.top, height, screen.top, screen.height);
    return position;
}

WindowPosition CentredPosition(const ScreenRect& area, int width, int height)
{
    return {area.left + (area.width - width) / 2, area.top + (area.height - height) / 2};
}

} // namespace velmora
