#pragma once

namespace velmora {

// Takes away what starts of the program wrote into the user's folders so that the
// desktop finds it: the automation service's activation file and the archive
// association with its caches; with serviceMenus also the copies of Dolphin's service
// menu that carry the menu text. Every part is tried; throws std::runtime_error naming
// every file that could not be removed.
void UnregisterForUser(bool serviceMenus);

} // namespace velmora
