#pragma once

#include <functional>
#include <string>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;
class Stream;

// The fixed cell of the thumbnail image list.
inline constexpr int kThumbnailCellSize = 64;

// Where a picture of width x height is drawn in a cell: stretched to the cell's full
// height or full width, whichever keeps the whole picture inside, centred the other
// way, aspect ratio kept (small pictures are enlarged, large ones reduced).
struct ThumbnailRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ThumbnailRect&) const = default;
};
// std::invalid_argument for a picture or cell without area.
ThumbnailRect FitThumbnail(int width, int height, int cellWidth = kThumbnailCellSize,
                           int cellHeight = kThumbnailCellSize);

// Decodes a picture (by its upper-case extension) into a new thumbnail and returns its
// image-list position; raises when the picture cannot be decoded. Supplied by the
// widget that owns the image list.
using ThumbnailMaker = std::function<int(const std::string& extension, Stream& picture)>;

// The image-list position to show for an item: a thumbnail made by addThumbnail for
// pictures, the movie or music stock image, else (and on any error) the stock image
// for no thumbnail possible. progress steps its item bar once per chunk read.
int GetThumbnailIndex(db::Connection& connection, int recIdent, const ThumbnailMaker& addThumbnail,
                      ProgressRoutines* progress = nullptr);

} // namespace velmora
