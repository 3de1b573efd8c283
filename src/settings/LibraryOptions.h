#pragma once

#include <cstdint>
#include <string>

namespace velmora {

namespace db {
class Connection;
}

// The slideshow's timing as opt_currentStore packs it: the delay in seconds times
// 65536, plus 1 when the slideshow repeats.
struct SlideshowTiming {
    static constexpr int kDefaultDelay = 5;
    static constexpr int kMinDelay = 1;
    static constexpr int kMaxDelay = 60;

    int delaySeconds = kDefaultDelay;
    bool repeat = true;

    // 0, null, a negative number or a delay outside 1 to 60 seconds reads as 5
    // seconds with repeat on.
    static SlideshowTiming Unpack(std::int64_t stored);
    std::int64_t Pack() const;

    bool operator==(const SlideshowTiming&) const = default;
};

// The settings the library keeps in the first row of its options table.
struct LibraryOptions {
    // Colour values 0x00BBGGRR.
    static constexpr std::uint32_t kBlack = 0;
    static constexpr std::uint32_t kWhite = 0xFFFFFF;

    std::string caption;          // opt_caption: the application title
    bool deleteDropped = false;   // opt_defdelete
    bool deleteFromShell = false; // opt_condelete
    bool enableThumb = false;     // opt_enableThumb
    bool scalePast100 = false;    // opt_scalepast100
    bool thumbDefault = false;    // opt_thumbdefault
    int thumbSize = 0;            // opt_thumbsize: index of the (hidden) size choice
    SlideshowTiming slideshow;    // opt_currentStore
    // opt_currentStoreSize; white when the row cannot be read at all, black when null.
    std::uint32_t slideshowColour = kWhite;
    bool keepRecoveryCopy = true; // opt_recoverycopy

    // The first row of the options table; null columns read as off, 0 and empty.
    // Raises when the row cannot be read.
    static LibraryOptions Read(db::Connection& main);
    // Writes every setting into the first row at once; turning the recovery copy off
    // clears it. Raises when the row cannot be written.
    void Write(db::Connection& main) const;

    bool operator==(const LibraryOptions&) const = default;
};

} // namespace velmora
