#include "playback/Slideshow.h"

#include "store/Query.h"

#include <exception>

namespace velmora {

bool Slideshow::Start(SlideshowList& list)
{
    int pictures = 0;
    int start = 1;
    int firstSelected = -1;
    SlideshowFirstIndex = -1;
    SlideshowLastIndex = -1;
    for (int row = 0; row < list.Count(); ++row) {
        const bool picture = list.IsPicture(row);
        if (picture)
            ++pictures;
        if (list.IsSelected(row)) {
            list.Deselect(row);
            if (picture && firstSelected < 0) {
                firstSelected = row;
                start = pictures;
            }
        }
        if (picture && SlideshowFirstIndex < 0)
            SlideshowFirstIndex = row;
        if (picture)
            SlideshowLastIndex = row;
    }
    ImageCount = pictures;
    if (SlideshowFirstIndex < 0)
        return false;
    list.Select(firstSelected >= 0 ? firstSelected : SlideshowFirstIndex);
    SlideshowNumber = start;
    return true;
}

Slideshow::Step Slideshow::Next(SlideshowList& list)
{
    const int current = list.SelectedRow();
    if (current >= 0)
        list.Deselect(current);
    for (int row = current + 1; row < list.Count(); ++row) {
        if (list.IsPicture(row)) {
            ++SlideshowNumber;
            list.Select(row);
            return Step::Shown;
        }
    }
    if (!SlideshowRepeat)
        return Step::Close;
    SlideshowNumber = 1;
    list.Select(SlideshowFirstIndex);
    return Step::Shown;
}

Slideshow::Step Slideshow::Previous(SlideshowList& list)
{
    if (SlideshowNumber == 1) {
        if (!SlideshowRepeat)
            return Step::Close;
        if (const int current = list.SelectedRow(); current >= 0)
            list.Deselect(current);
        SlideshowNumber = ImageCount;
        list.Select(SlideshowLastIndex);
        return Step::Shown;
    }
    const int current = list.SelectedRow();
    if (current >= 0)
        list.Deselect(current);
    for (int row = current - 1; row >= 0; --row) {
        if (list.IsPicture(row)) {
            --SlideshowNumber;
            list.Select(row);
            break;
        }
    }
    return Step::Shown;
}

SlideshowOptions UnpackSlideshowOptions(std::optional<std::int64_t> packed, std::optional<std::int64_t> colour)
{
    SlideshowOptions options;
    auto bits = static_cast<std::uint32_t>(packed.value_or(0));
    if (bits == 0)
        bits = SlideshowOptions::kDefaultPacked;
    options.repeat = (bits & 1U) != 0;
    options.delaySeconds = static_cast<int>(bits >> 16);
    options.colour = colour ? static_cast<std::uint32_t>(*colour) & 0xFFFFFFU : SlideshowOptions::kDefaultColour;
    return options;
}

SlideshowOptions ReadSlideshowOptions(db::Connection& connection)
{
    std::optional<std::int64_t> packed;
    std::optional<std::int64_t> colour;
    try {
        db::Query options(connection, "Select opt_currentStore, opt_currentStoreSize from options");
        if (!options.Eof()) {
            if (!options.IsNull("opt_currentStore"))
                packed = options.AsInteger("opt_currentStore");
            if (!options.IsNull("opt_currentStoreSize"))
                colour = options.AsInteger("opt_currentStoreSize");
        }
    } catch (const std::exception&) {
        // An unreadable row leaves the defaults.
    }
    return UnpackSlideshowOptions(packed, colour);
}

} // namespace velmora
