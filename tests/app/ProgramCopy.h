#pragma once

// A copy of the program folder somewhere else, as an installation or a user's moved
// copy has it: the program, its archive reader and the shipped database files, no
// library. The program finds everything through its own folder, so a copy runs as
// the build's own does.

#include "support/TestSupport.h"

#include <filesystem>

namespace velmora::test {

inline void CopyProgramFolder(const std::filesystem::path& target)
{
    namespace fs = std::filesystem;
    fs::create_directories(target / "shipped");
    for (const char* name : {"velmora", "velmora-archive-reader", "tntempl.mdb", "template.tnt", "shipped/tndb.mdb"})
        fs::copy_file(BinDir() / name, target / name);
}

// Takes write permission away from a folder tree, as a system install leaves it.
inline void MakeReadOnly(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    const auto readOnly = [](const fs::path& path) {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    };
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        readOnly(entry.path());
    readOnly(folder);
}

// Gives write permission back so the folder can be removed.
inline void MakeWritable(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
}

} // namespace velmora::test
