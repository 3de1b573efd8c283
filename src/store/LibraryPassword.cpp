#include "store/LibraryPassword.h"

#include <mutex>
#include <utility>

namespace velmora {

namespace {

struct GuardedKey {
    std::mutex mutex;
    LibraryKey key;
};

GuardedKey& Guarded()
{
    static GuardedKey instance;
    return instance;
}

} // namespace

std::string LibraryPassword()
{
    auto& g = Guarded();
    std::lock_guard lock(g.mutex);
    return g.key.password;
}

LibraryKey CurrentLibraryKey()
{
    auto& g = Guarded();
    std::lock_guard lock(g.mutex);
    return g.key;
}

void SetLibraryKey(LibraryKey key)
{
    auto& g = Guarded();
    std::lock_guard lock(g.mutex);
    g.key = std::move(key);
}

void SetLibraryPassword(const std::string& password, int generation)
{
    SetLibraryKey(LibraryKey{password, generation, false, {}, 0});
}

} // namespace velmora
