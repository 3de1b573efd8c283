#include "playback/ExifOrientation.h"

#include <cstdint>
#include <optional>

namespace velmora {

namespace {

class Reader {
public:
    Reader(std::string_view bytes, bool bigEndian) : m_bytes(bytes), m_bigEndian(bigEndian) {}

    std::optional<std::uint32_t> Read(std::size_t at, int width) const
    {
        if (at > m_bytes.size() || m_bytes.size() - at < static_cast<std::size_t>(width))
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i) {
            const auto byte = static_cast<unsigned char>(m_bytes[at + (m_bigEndian ? i : width - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }

private:
    std::string_view m_bytes;
    bool m_bigEndian;
};

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr int kUpright = 1;

int TiffOrientation(std::string_view tiff)
{
    if (tiff.size() < 8)
        return kUpright;
    const bool bigEndian = tiff.substr(0, 4) == std::string_view("MM\0*", 4);
    if (!bigEndian && tiff.substr(0, 4) != std::string_view("II*\0", 4))
        return kUpright;
    const Reader read(tiff, bigEndian);
    const auto directory = read.Read(4, 4);
    const auto entries = directory ? read.Read(*directory, 2) : std::nullopt;
    if (!entries)
        return kUpright;
    for (std::uint32_t i = 0; i < *entries; ++i) {
        const std::size_t entry = *directory + 2 + 12 * static_cast<std::size_t>(i);
        const auto tag = read.Read(entry, 2);
        if (!tag)
            return kUpright;
        if (*tag != kOrientationTag)
            continue;
        const auto type = read.Read(entry + 2, 2);
        const auto value = read.Read(entry + 8, 2);   // a SHORT sits at the start of the value field
        if (type != 3u || !value || *value < 1 || *value > 8)
            return kUpright;
        return static_cast<int>(*value);
    }
    return kUpright;
}

// The boxes inside [begin, end) of an ISO media file: calls visit(type, contentBegin,
// contentEnd) for each until it returns true; false when none did or the boxes are
// damaged.
template <typename Visit>
bool ForEachBox(std::string_view file, std::size_t begin, std::size_t end, Visit visit)
{
    const Reader read(file, true);
    std::size_t at = begin;
    while (at + 8 <= end) {
        const auto size32 = read.Read(at, 4);
        std::uint64_t size = *size32;
        std::size_t header = 8;
        if (size == 1) {   // a 64-bit size follows the type
            const auto high = read.Read(at + 8, 4);
            const auto low = read.Read(at + 12, 4);
            if (!high || !low)
                return false;
            size = (std::uint64_t(*high) << 32) | *low;
            header = 16;
        } else if (size == 0) {   // to the end of its container
            size = end - at;
        }
        if (size < header || size > end - at)
            return false;
        const std::string_view type = file.substr(at + 4, 4);
        if (visit(type, at + header, at + static_cast<std::size_t>(size)))
            return true;
        at += static_cast<std::size_t>(size);
    }
    return false;
}

} // namespace

int ExifOrientation(std::string_view exifBlock)
{
    const auto offset = Reader(exifBlock, true).Read(0, 4);
    if (!offset || *offset > exifBlock.size() - 4)
        return kUpright;
    return TiffOrientation(exifBlock.substr(4 + *offset));
}

bool HeifHasOwnTransformation(std::string_view file)
{
    // meta (a full box: 4 bytes of version and flags) > iprp > ipco > irot | imir
    return ForEachBox(file, 0, file.size(), [&](std::string_view type, std::size_t begin, std::size_t end) {
        if (type != "meta" || end - begin < 4)
            return false;
        return ForEachBox(file, begin + 4, end, [&](std::string_view inner, std::size_t b, std::size_t e) {
            if (inner != "iprp")
                return false;
            return ForEachBox(file, b, e, [&](std::string_view container, std::size_t cb, std::size_t ce) {
                if (container != "ipco")
                    return false;
                return ForEachBox(file, cb, ce, [](std::string_view property, std::size_t, std::size_t) {
                    return property == "irot" || property == "imir";
                });
            });
        });
    });
}

} // namespace velmora
