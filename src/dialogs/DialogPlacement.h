#pragma once

namespace velmora {

// A rectangle in screen coordinates (left, top, width, height).
struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WindowPosition {
    int left = 0;
    int top = 0;

    friend bool operator==(const WindowPosition&, const WindowPosition&) = default;
};

// Where a message box of the given size goes: centred on the owner window, then held on
// the screen (a box that would start before the screen's edge starts at it; one that
// would end past the far edge ends at it).
WindowPosition MessageBoxPosition(const ScreenRect& owner, int width, int height,
                                  const ScreenRect& screen);

// Where the progress window goes: centred on the given rectangle, not held on the screen.
WindowPosition CentredPosition(const ScreenRect& area, int width, int height);

} // namespace velmora
