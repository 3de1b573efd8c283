#pragma once

#include <string>
#include <vector>

namespace velmora {

class ObjectStore;

// Checks every invariant of a consistent library and describes each violation:
// every item's chain complete and as long as its size needs, every chunk's item
// present, each store's booked free space matching the chunks it holds, a store file
// for every space row, no link to a missing item or category, every chunk under the
// library's current key (outside a password change), every cached thumbnail of an
// existing item and under the library's key, nothing left half-done.
// Empty when the library is consistent.
std::vector<std::string> CheckLibrary(ObjectStore& store);

} // namespace velmora
