#include "store/LibraryCheck.h"

#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/ThumbnailCache.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace velmora {

namespace {

std::string ItemName(std::int64_t recordIdent)
{
    return "item " + std::to_string(recordIdent);
}

std::int64_t RoundUpToBlock(std::int64_t n)
{
    return (n + 7) / 8 * 8;
}

struct StoreInfo {
    bool present = false;
    std::int64_t freeSpace = 0;
    std::int64_t chunks = 0;       // rows the store file holds
    std::int64_t chained = 0;      // rows reached by following chains
};

void CheckChain(ObjectStore& objectStore, std::map<int, StoreInfo>& stores, std::int64_t recordIdent,
                std::int64_t size, std::int64_t firstStore, std::vector<std::string>& problems)
{
    const std::int64_t expected = ChunkCount(size);
    std::int64_t storeNo = firstStore;
    std::int64_t chunkNo = 1;
    for (; storeNo != kEndOfChain; ++chunkNo) {
        if (chunkNo > expected) {
            problems.push_back(ItemName(recordIdent) + ": chain is longer than its size of " +
                               std::to_string(size) + " bytes needs (" + std::to_string(expected) +
                               " chunks)");
            return;
        }
        auto store = stores.find(static_cast<int>(storeNo));
        if (store == stores.end() || !store->second.present) {
            problems.push_back(ItemName(recordIdent) + ": chunk " + std::to_string(chunkNo) +
                               " is in store " + std::to_string(storeNo) + ", which does not exist");
            return;
        }
        db::Query chunk(objectStore.StoreConnection(static_cast<int>(storeNo)),
                        SqlFormat("Select ro_nextstore, length(ro_data) as datalen from recobject "
                                  "where ro_record = %lld and ro_chunk = %lld",
                                  static_cast<long long>(recordIdent), static_cast<long long>(chunkNo)));
        if (chunk.Eof()) {
            problems.push_back(ItemName(recordIdent) + ": chunk " + std::to_string(chunkNo) +
                               " is missing from store " + std::to_string(storeNo));
            return;
        }
        ++store->second.chained;
        const std::int64_t plain =
            chunkNo < expected ? kChunkSize : size - (expected - 1) * kChunkSize;
        const std::int64_t wanted = RoundUpToBlock(plain);
        if (chunk.AsInteger("datalen") != wanted)
            problems.push_back(ItemName(recordIdent) + ": chunk " + std::to_string(chunkNo) + " holds " +
                               std::to_string(chunk.AsInteger("datalen")) + " bytes instead of " +
                               std::to_string(wanted));
        storeNo = chunk.AsInteger("ro_nextstore");
    }
    if (chunkNo - 1 < expected)
        problems.push_back(ItemName(recordIdent) + ": chain ends after " + std::to_string(chunkNo - 1) +
                           " of " + std::to_string(expected) + " chunks");
}

} // namespace

std::vector<std::string> CheckLibrary(ObjectStore& objectStore)
{
    std::vector<std::string> problems;
    db::Connection& main = objectStore.MainConnection();

    std::map<int, StoreInfo> stores;
    {
        db::Query space(main, "Select * From [space] where st_num <> 0 order by st_num");
        int position = 0;
        for (; !space.Eof(); space.Next()) {
            ++position;
            const int storeNo = static_cast<int>(space.AsInteger("st_num"));
            if (storeNo != position)
                problems.push_back("space row " + std::to_string(position) + " names store " +
                                   std::to_string(storeNo) + ": store rows must be numbered without gaps");
            StoreInfo& info = stores[storeNo];
            info.freeSpace = space.AsInteger("st_freespace");
            info.present = std::filesystem::exists(JoinPath(GetDataDir(), StoreFileName(storeNo)));
            if (!info.present)
                problems.push_back("store " + std::to_string(storeNo) + ": file " + StoreFileName(storeNo) +
                                   " is missing");
        }
    }

    std::set<std::int64_t> items;
    {
        db::Query records(main, "Select rec_ident, rec_size, rec_objstore from Record order by rec_ident");
        for (; !records.Eof(); records.Next()) {
            const std::int64_t id = records.AsInteger("rec_ident");
            items.insert(id);
            if (records.IsNull("rec_size") || records.IsNull("rec_objstore")) {
                problems.push_back(ItemName(id) + ": has no content (size or first store not set)");
                continue;
            }
            CheckChain(objectStore, stores, id, records.AsInteger("rec_size"),
                       records.AsInteger("rec_objstore"), problems);
        }
    }

    // Outside a password change every chunk is under the library's key.
    std::optional<std::int64_t> keyGeneration;
    {
        db::Query change(main, "Select count(*) as n from keychange");
        db::Query options(main, "Select opt_keygen from options");
        if (change.AsInteger("n") == 0 && !options.Eof())
            keyGeneration = options.AsInteger("opt_keygen");
    }

    for (auto& [storeNo, info] : stores) {
        if (!info.present)
            continue;
        if (keyGeneration) {
            db::Query stale(objectStore.StoreConnection(storeNo),
                            SqlFormat("Select ro_record, ro_keygen, count(*) as n from recobject where ro_keygen <> %lld "
                                      "group by ro_record, ro_keygen order by ro_record",
                                      static_cast<long long>(*keyGeneration)));
            for (; !stale.Eof(); stale.Next())
                problems.push_back(ItemName(stale.AsInteger("ro_record")) + ": " + std::to_string(stale.AsInteger("n")) +
                                   " chunk(s) in store " + std::to_string(storeNo) + " are under key generation " +
                                   std::to_string(stale.AsInteger("ro_keygen")) + ", not the library's " +
                                   std::to_string(*keyGeneration));
        }
        db::Query chunks(objectStore.StoreConnection(storeNo), "Select ro_record from recobject");
        std::set<std::int64_t> strangers;
        for (; !chunks.Eof(); chunks.Next()) {
            ++info.chunks;
            const std::int64_t owner = chunks.AsInteger("ro_record");
            if (!items.count(owner))
                strangers.insert(owner);
        }
        for (std::int64_t owner : strangers)
            problems.push_back("store " + std::to_string(storeNo) + ": holds chunks of " + ItemName(owner) +
                               ", which does not exist");
        if (info.chained != info.chunks && strangers.empty())
            problems.push_back("store " + std::to_string(storeNo) + ": holds " + std::to_string(info.chunks) +
                               " chunks but the items' chains reach " + std::to_string(info.chained));
        const std::int64_t expectedFree = kStoreCapacity - kChunkCharge * info.chunks;
        if (info.freeSpace != expectedFree)
            problems.push_back("store " + std::to_string(storeNo) + ": free space is " +
                               std::to_string(info.freeSpace) + " but its " + std::to_string(info.chunks) +
                               " chunks leave " + std::to_string(expectedFree));
    }

    {
        db::Query links(main, "Select reccat_record, reccat_category from RecordCategory "
                              "where reccat_record not in (Select rec_ident from Record) "
                              "or reccat_category not in (Select cat_id from Category)");
        for (; !links.Eof(); links.Next())
            problems.push_back("link of " + ItemName(links.AsInteger("reccat_record")) + " to category " +
                               std::to_string(links.AsInteger("reccat_category")) +
                               " names a missing item or category");
    }
    {
        db::Query pending(main, "Select pa_record from pendingadd");
        for (; !pending.Eof(); pending.Next())
            problems.push_back(ItemName(pending.AsInteger("pa_record")) + ": its add has not completed");
    }
    {
        db::Query removals(main, "Select pd_record from pendingdelete");
        for (; !removals.Eof(); removals.Next())
            problems.push_back(ItemName(removals.AsInteger("pd_record")) + ": its delete has not finished");
    }
    {
        db::Query change(main, "Select kc_generation from keychange");
        if (!change.Eof())
            problems.push_back("a password change has not completed");
    }
    for (std::string& problem : CheckThumbnails(main))
        problems.push_back(std::move(problem));
    return problems;
}

} // namespace velmora
