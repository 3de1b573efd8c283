#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

namespace db {
class Connection;
}

// The item list as the slideshow walks it: the show moves by changing the list's
// selection, and the list's selection handler draws each picture.
class SlideshowList {
public:
    virtual ~SlideshowList() = default;
    virtual int Count() const = 0;
    virtual bool IsPicture(int row) const = 0;
    virtual bool IsSelected(int row) const = 0;
    // The first selected row, or -1.
    virtual int SelectedRow() const = 0;
    // Selected and focused.
    virtual void Select(int row) = 0;
    virtual void Deselect(int row) = 0;
};

// Which picture of the list the slideshow shows, counted among the list's pictures,
// and how Next and Previous move through them.
class Slideshow {
public:
    enum class Step { Shown, Close };

    int SlideshowNumber = 0;        // 1-based, among the pictures
    int SlideshowFirstIndex = -1;   // list row of the first picture
    int SlideshowLastIndex = -1;    // list row of the last picture
    bool SlideshowRepeat = true;    // wrap at either end, else an end closes the show
    // The pictures the show walks through, counted by the walk's own picture rule.
    int ImageCount = 0;

    // Starts at the first selected picture (or the first picture), clearing every
    // other selection. False when the list holds no picture.
    bool Start(SlideshowList& list);
    Step Next(SlideshowList& list);
    Step Previous(SlideshowList& list);
};

// The slideshow settings packed in the library's options row: bit 0 repeat, bits 16
// to 31 the delay in seconds; 0 or unreadable stands for repeat with 5 seconds. The
// background is a colour 0x00BBGGRR, white when unreadable.
struct SlideshowOptions {
    static constexpr std::uint32_t kDefaultPacked = 0x50001;
    static constexpr std::uint32_t kDefaultColour = 0xFFFFFF;

    bool repeat = true;
    int delaySeconds = 5;
    std::uint32_t colour = kDefaultColour;

    // tmrAutoadvance's interval; 0 means it never fires.
    int IntervalMs() const { return delaySeconds * 1000; }
};

SlideshowOptions UnpackSlideshowOptions(std::optional<std::int64_t> packed, std::optional<std::int64_t> colour);
// From the options row; never raises: what cannot be read takes its default.
SlideshowOptions ReadSlideshowOptions(db::Connection& connection);

} // namespace velmora
