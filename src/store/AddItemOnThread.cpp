#include "store/AddItemOnThread.h"

#include "store/SourceFile.h"
#include "store/MediaExtensions.h"
#include "store/NewItem.h"
#include "store/ObjectStore.h"

#include <filesystem>

namespace velmora {

bool AddItemOnThread(std::optional<int> categoryId, Stream& source, const std::string& fileName,
                     std::int64_t size, const std::string& description)
{
    ObjectStore& store = ObjectStore::ForThisThread();
    NewItem item(store, fileName, description);
    if (size == -1)
        size = source.Size() - source.Position();
    try {
        item.Store(source, size);
    } catch (const std::exception&) {
        return false;   // item's destructor takes back what was stored
    }
    item.Complete(categoryId);
    return true;
}

bool AddMonitoredFile(const std::string& path)
{
    const std::string fileName = std::filesystem::path(path).filename().string();
    if (!IsSupportedMediaFile(fileName))
        return false;
    try {
        SourceFile file(path);
        return AddItemOnThread(std::nullopt, file, fileName, -1, fileName);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace velmora
