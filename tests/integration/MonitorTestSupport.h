#pragma once

#include "support/LibraryFixture.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::test {

// A library plus a folder to watch, and ways to look at what the monitor did.
class MonitorFixture : public LibraryFixture {
protected:
    // Names of the entries in the watched folder, sorted.
    std::vector<std::string> FolderNames() const;
    // The rec_ident of the item whose original file name is name; 0 when none.
    int ItemNamed(const std::string& name);
    std::int64_t ItemCount() { return Scalar("Select count(*) from Record"); }
    // What the consistency check finds wrong; empty when the library is sound.
    std::vector<std::string> Faults();

    TempDir watched;
};

} // namespace velmora::test
