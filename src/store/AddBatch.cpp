#include "store/AddBatch.h"

#include "store/FileSync.h"
#include "store/ObjectStore.h"
#include "store/StoredKey.h"
#include "store/Transaction.h"

#include <algorithm>

namespace velmora {

namespace {

// A block's size, chosen with bench/empty-rows-import.sh: its syncs then cost little
// beside the items' own work, and a power cut loses no more than a block.
constexpr int kItemsPerBlock = 64;
// Large items complete sooner: the syncs are cheap beside their content.
constexpr std::int64_t kBytesPerBlock = 64 * 1000 * 1000;

} // namespace

AddBatch::AddBatch(ObjectStore& store, int items) : m_store(store), m_toCome(std::max(1, items)) {}

AddBatch::~AddBatch()
{
    try {
        Complete();
    } catch (const std::exception&) {
        // Not made complete: taken back, now or at the next opening.
        for (const StoredItem& item : m_stored)
            TakeBackAdd(m_store, item.recordIdent);
    }
    try {
        GiveBackItemNumbers(m_store.MainConnection(), {m_numbers.begin(), m_numbers.end()});
    } catch (const std::exception&) {
        // Their pending marks stay; the next opening takes them back.
    }
}

void AddBatch::TakeNumbers()
{
    if (!m_lock)
        m_lock.emplace();
    db::Connection& main = m_store.MainConnection();
    // Under the lock, the key is the one the library is under now.
    RefreshLibraryKey(main);
    const std::vector<int> numbers = TakeItemNumbers(main, std::min(kItemsPerBlock, m_toCome));
    m_numbers.assign(numbers.begin(), numbers.end());
}

int AddBatch::Add(const std::string& fileName, const std::string& description, Stream& source, std::int64_t size,
                  std::optional<int> categoryId, ProgressRoutines* progress, const TCryptography* encryptedWith)
{
    if (m_numbers.empty())
        TakeNumbers();
    const int recordIdent = m_numbers.front();
    m_numbers.pop_front();
    m_toCome = std::max(1, m_toCome - 1);
    int firstStore = kEndOfChain;
    try {
        firstStore = m_store.StoreItemContent(source, recordIdent, size, progress, encryptedWith, &m_unsynced);
    } catch (...) {
        TakeBackAdd(m_store, recordIdent);
        throw;
    }
    m_stored.push_back({recordIdent, fileName, description, db::Today(), size, firstStore, categoryId});
    m_storedBytes += size;
    if (m_numbers.empty() || m_storedBytes >= kBytesPerBlock)
        Complete();
    return recordIdent;
}

void AddBatch::Complete()
{
    if (!m_stored.empty()) {
        m_store.SyncStoreFiles(m_unsynced);
        db::Connection& main = m_store.MainConnection();
        {
            db::Transaction transaction(main);
            for (const StoredItem& item : m_stored)
                WriteCompletedItem(main, item);
            transaction.Commit();
        }
        SyncDatabaseFile(main);
        m_stored.clear();
        m_unsynced.clear();
        m_storedBytes = 0;
    }
    // Between blocks a password change may run.
    if (m_numbers.empty())
        m_lock.reset();
}

} // namespace velmora
