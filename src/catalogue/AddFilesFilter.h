#pragma once

#include <string>

namespace velmora {

// The filter of the "Add Files to Category" dialog in Qt's form ("Name (*.a *.b);;..."),
// its first entry preselected: every accepted extension in "All", then an entry per
// kind. What each caption names is what its entry lets through.
std::string AddFilesFilter();

} // namespace velmora
