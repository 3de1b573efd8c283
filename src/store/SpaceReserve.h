#pragma once

namespace velmora {

// A small file kept in the data folder ("tndb.reserve"), given up when the disk is
// full so that the work that gives space back (taking back an add that filled the
// disk) has the little journal room it needs; made again at a later opening.
inline constexpr const char* kSpaceReserveName = "tndb.reserve";

// Makes the reserve when it is missing and the disk has room for it; never fails.
void KeepSpaceReserve();
// Removes the reserve; false when there was none.
bool ReleaseSpaceReserve();

} // namespace velmora
