#include "catalogue/Thumbnails.h"

#include "catalogue/ItemContent.h"
#include "catalogue/ItemKind.h"
#include "store/MediaExtensions.h"
#include "store/MemoryStream.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "ui/ProgressRoutines.h"

#include <cstdint>
#include <stdexcept>

namespace velmora {

ThumbnailRect FitThumbnail(int width, int height, int cellWidth, int cellHeight)
{
    if (width <= 0 || height <= 0 || cellWidth <= 0 || cellHeight <= 0)
        throw std::invalid_argument("A thumbnail needs a picture and a cell with an area");
    // Scales compared and applied in integers: W/w > H/h exactly when W*h > H*w, and
    // trunc(w * H/h) is w*H div h, free of rounding at the edges.
    const std::int64_t w = width, h = height, W = cellWidth, H = cellHeight;
    ThumbnailRect rect;
    if (W * h > H * w) {
        const int extent = static_cast<int>(w * H / h);
        rect.top = 0;
        rect.bottom = cellHeight;
        rect.left = (cellWidth - extent) / 2;
        rect.right = rect.left + extent;
    } else {
        const int extent = static_cast<int>(h * W / w);
        rect.left = 0;
        rect.right = cellWidth;
        rect.top = (cellHeight - extent) / 2;
        rect.bottom = rect.top + extent;
    }
    return rect;
}

int GetThumbnailIndex(db::Connection& connection, int recIdent, const ThumbnailMaker& addThumbnail,
                      ProgressRoutines* progress)
{
    try {
        std::string name;
        {
            db::Query record(connection, SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", recIdent));
            if (record.Eof())
                return kNoThumbnail;
            name = record.AsString("rec_tnorigname");
        }
        const ItemKind kind = ItemKindOf(name);
        if (kind != ItemKind::Image)
            return StockThumbnailIndex(kind);
        if (!addThumbnail)
            return kNoThumbnail;
        MemoryStream picture;
        NullProgress quiet;   // made in the background, outside any progress window
        ReadItemToStream(connection, recIdent, picture, progress != nullptr ? *progress : quiet);
        return addThumbnail(UpperExtension(name), picture);
    } catch (const std::exception&) {
        return kNoThumbnail;
    }
}

} // namespace velmora
