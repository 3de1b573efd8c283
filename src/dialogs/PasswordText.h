#pragma once

#include <string>

namespace velmora {

// The typed password as the gate tests it: blanks and control characters removed from
// both ends (every byte up to and including the blank).
std::string TrimPasswordEntry(const std::string& typed);

} // namespace velmora
