#pragma once

#include "support/TestSupport.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"

#include <filesystem>
#include <string>

namespace velmora::test {

// A copy of a shipped database file (bin/shipped/tndb.mdb, bin/tntempl.mdb,
// bin/template.tnt) at target; returns target.
inline std::filesystem::path CopyShippedFile(const std::filesystem::path& source,
                                             const std::filesystem::path& target)
{
    std::filesystem::copy_file(source, target);
    return target;
}

inline std::filesystem::path ShippedLibrary() { return BinDir() / "shipped" / kMainDatabaseName; }
inline std::filesystem::path StoreTemplate() { return BinDir() / kStoreTemplateName; }
inline std::filesystem::path ArchiveTemplate() { return BinDir() / kArchiveTemplateName; }

inline std::string SharedConnectionString(const std::filesystem::path& file)
{
    return db::ConnectionString::Build(file.string(), db::kShareDenyNone, GetDatabasePassword());
}

inline std::string ImportConnectionString(const std::filesystem::path& file)
{
    return db::ConnectionString::Build(file.string(), db::kReadShareDenyReadWrite, GetDatabasePassword());
}

} // namespace velmora::test
