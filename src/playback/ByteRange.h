#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The part of an item a request asks for with "Range: bytes=...".
struct ByteRange {
    enum class Kind {
        Whole,           // no usable Range header: the whole item, "200 OK"
        Partial,         // bytes First..Last, "206 Partial Content"
        Unsatisfiable,   // a range that starts at or beyond the end, "416"
    };
    Kind kind = Kind::Whole;
    std::int64_t first = 0;
    std::int64_t last = -1;   // inclusive

    std::int64_t Length() const { return last - first + 1; }

    // Reads the value of a Range header for an item of size bytes. Understood: one range
    // "bytes=N-", "bytes=N-M" (M beyond the end means the end) and the suffix "bytes=-K".
    // Anything else (another unit, several ranges, bad syntax) is ignored, as HTTP allows,
    // and the whole item is served.
    static ByteRange Parse(std::optional<std::string_view> header, std::int64_t size);
};

} // namespace velmora
