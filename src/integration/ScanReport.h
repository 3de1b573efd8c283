#pragma once

#include <string>
#include <vector>

namespace velmora {

// What one tick of the directory monitor did.
struct ScanReport {
    // False when the tick did not scan: monitoring off or no directory set.
    bool scanned = false;
    // The file whose whole content was added this scan (full path); empty when none.
    std::string imported;
    // Whether that file was then deleted. It is kept when it changed while it was
    // being read or cannot be removed.
    bool deleted = false;
    // Files offered to the import this scan that it refused.
    std::vector<std::string> refused;
    // Files that were ready by their stamps but could not be taken: another open
    // file holds a lock on them, or they cannot be opened.
    std::vector<std::string> busy;
};

} // namespace velmora
