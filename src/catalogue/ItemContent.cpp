#include "catalogue/ItemContent.h"

#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "ui/ProgressRoutines.h"

#include <stdexcept>
#include <string>

namespace velmora {

namespace {

struct StoredItem {
    std::string name;
    std::int64_t size = 0;
    int firstStore = kEndOfChain;
};

StoredItem FindItem(db::Connection& connection, int recIdent)
{
    db::Query record(connection, SqlFormat("Select rec_tnorigname, rec_objstore, rec_size from Record "
                                           "where rec_ident = %d",
                                           recIdent));
    if (record.Eof())
        throw std::runtime_error("There is no item " + std::to_string(recIdent) + " in the library");
    StoredItem item;
    item.name = record.AsString("rec_tnorigname");
    item.size = record.AsInteger("rec_size");
    // A row that never got its content names no store (0): there is nothing to read.
    if (!record.IsNull("rec_objstore") && record.AsInteger("rec_objstore") > 0)
        item.firstStore = static_cast<int>(record.AsInteger("rec_objstore"));
    return item;
}

// Each chunk is cut to the item's length, so the zero fill of the last cipher block
// (or padding stored with an imported item) never reaches the target.
std::int64_t ReadWhole(const StoredItem& item, int recIdent, Stream& stream, ProgressRoutines& progress,
                       const TCryptography* cipher)
{
    const std::int64_t written = ObjectStore::ForThisThread().ReadItemContent(
        recIdent, item.firstStore, item.size,
        [&](std::uint8_t* bytes, std::int64_t count) {
            stream.WriteBuffer(bytes, count);
            progress.StepItemProgress();
        },
        cipher);
    if (written != item.size)
        throw std::runtime_error("The stored content of \"" + item.name + "\" is incomplete: " +
                                 std::to_string(written) + " of " + std::to_string(item.size) +
                                 " bytes could be read");
    return written;
}

} // namespace

std::int64_t ReadItemToStream(db::Connection& connection, int recIdent, Stream& stream,
                              ProgressRoutines& progress)
{
    const std::int64_t written = ReadWhole(FindItem(connection, recIdent), recIdent, stream, progress, nullptr);
    try {
        stream.SetPosition(0);
    } catch (const std::exception&) {
        // A stream that cannot seek still holds the whole content.
    }
    return written;
}

std::int64_t ReadItemEncrypted(db::Connection& connection, int recIdent, const TCryptography& cipher,
                               Stream& stream, ProgressRoutines& progress)
{
    return ReadWhole(FindItem(connection, recIdent), recIdent, stream, progress, &cipher);
}

} // namespace velmora
