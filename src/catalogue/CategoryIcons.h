#pragma once

#include <QIcon>

namespace velmora {

// The pictures of the category tree, drawn here so that they look the same whatever
// icon theme the desktop has: a closed folder for a category, an open one for the
// selected category, and a tray for "<Unclassified>" in both states.
QIcon CategoryIcon();
QIcon UnclassifiedIcon();

} // namespace velmora
