#pragma once

#include <QColor>
#include <QIcon>

namespace velmora {

// The skin's pictures, drawn as lines so they stay crisp at any scaling and look the
// same whatever icon theme the desktop has (or none).
enum class SkinGlyph {
    Logo,
    Minimize,
    Maximize,
    Restore,
    Close,
    Thumbnails,
    Details,
    Paste,
    AddFiles,
    Import,
    SaveToDisk,
};

// The glyph in color, with a paler picture for the disabled state; 16 x 16 logical
// pixels, with sharper pictures for scaled screens.
QIcon SkinIcon(SkinGlyph glyph, const QColor& color);

} // namespace velmora
