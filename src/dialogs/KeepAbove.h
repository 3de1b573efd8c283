#pragma once

class QWidget;

namespace velmora {

// Stacks window above owner's window without making it owner's child: a child would be
// disabled along with its owner, and the dialogs shown while the main window is disabled
// must stay usable.
void KeepAbove(QWidget& window, QWidget& owner);

} // namespace velmora
