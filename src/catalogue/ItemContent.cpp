#include "catalogue/ItemContent.h"

#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "ui/ProgressRoutines.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace velmora {

std::int64_t ReadItemToStream(db::Connection& connection, int recIdent, Stream& stream,
                              ProgressRoutines& progress)
{
    std::string name;
    std::int64_t size = 0;
    int storeNo = kEndOfChain;
    {
        db::Query record(connection, SqlFormat("Select rec_tnorigname, rec_objstore, rec_size from Record "
                                               "where rec_ident = %d",
                                               recIdent));
        if (record.Eof())
            throw std::runtime_error("There is no item " + std::to_string(recIdent) + " in the library");
        name = record.AsString("rec_tnorigname");
        size = record.AsInteger("rec_size");
        // A row that never got its content names no store (0): there is nothing to read.
        if (!record.IsNull("rec_objstore") && record.AsInteger("rec_objstore") > 0)
            storeNo = static_cast<int>(record.AsInteger("rec_objstore"));
    }

    ObjectStore& store = ObjectStore::ForThisThread();
    int chunkNo = 1;
    std::int64_t written = 0;
    MemoryStream piece;
    // Each chunk is cut to the item's length, so the zero fill of the last cipher
    // block (or padding stored with an imported item) never reaches the target.
    while (store.ReadObjectChunk(piece, recIdent, chunkNo, storeNo)) {
        const std::int64_t take = std::min(piece.Size(), size - written);
        if (take > 0) {
            piece.SetPosition(0);
            stream.CopyFrom(piece, take);
            written += take;
        }
        piece.Clear();
        progress.StepItemProgress();
    }
    if (written != size)
        throw std::runtime_error("The stored content of \"" + name + "\" is incomplete: " + std::to_string(written) +
                                 " of " + std::to_string(size) + " bytes could be read");
    try {
        stream.SetPosition(0);
    } catch (const std::exception&) {
        // A stream that cannot seek still holds the whole content.
    }
    return written;
}

} // namespace velmora
