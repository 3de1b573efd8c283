#include "MonitorTestSupport.h"

#include "store/LibraryCheck.h"
#include "store/ObjectStore.h"
#include "store/SqlText.h"

#include <algorithm>

namespace velmora::test {

std::vector<std::string> MonitorFixture::FolderNames() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(watched.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int MonitorFixture::ItemNamed(const std::string& name)
{
    return static_cast<int>(Scalar("Select coalesce(max(rec_ident), 0) from Record where rec_tnorigname = " +
                                   QuotedSql(name)));
}

std::vector<std::string> MonitorFixture::Faults()
{
    return CheckLibrary(ObjectStore::ForThisThread());
}

} // namespace velmora::test
