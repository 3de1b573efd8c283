// Reading a camera's orientation tag out of a HEIF picture's Exif block, and telling a
// HEIF file that turns its picture itself.
#include "playback/ExifOrientation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {
namespace {

std::string Be(std::uint32_t value, int width)
{
    std::string out;
    for (int i = width - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    return out;
}

std::string Le(std::uint32_t value, int width)
{
    std::string out;
    for (int i = 0; i < width; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    return out;
}

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint16_t value;
};

// An Exif block as HEIF carries it: the offset to the TIFF header (after `gap` bytes
// of padding), the header, one directory of these entries.
std::string ExifBlock(bool bigEndian, const std::vector<Entry>& entries, std::uint32_t gap = 0)
{
    const auto n = [&](std::uint32_t v, int w) { return bigEndian ? Be(v, w) : Le(v, w); };
    std::string tiff = bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    tiff += n(8, 4) + n(static_cast<std::uint32_t>(entries.size()), 2);
    for (const Entry& e : entries)
        tiff += n(e.tag, 2) + n(e.type, 2) + n(1, 4) + n(e.value, 2) + std::string(2, '\0');
    tiff += n(0, 4);
    return Be(gap, 4) + std::string(gap, 'x') + tiff;
}

TEST(ExifOrientationTest, ReadsTheTagInEitherByteOrderAndIsUprightOtherwise)
{
    const Entry width{0x0100, 3, 4000};
    const struct {
        const char* what;
        std::string block;
        int orientation;
    } cases[] = {
        {"big-endian, 6", ExifBlock(true, {{0x0112, 3, 6}}), 6},
        {"little-endian, 8", ExifBlock(false, {{0x0112, 3, 8}}), 8},
        {"after another tag", ExifBlock(true, {width, {0x0112, 3, 3}}), 3},
        {"behind padding", ExifBlock(false, {{0x0112, 3, 5}}, 6), 5},
        {"no tag", ExifBlock(true, {width}), 1},
        {"a value beyond 8", ExifBlock(true, {{0x0112, 3, 9}}), 1},
        {"not a SHORT", ExifBlock(true, {{0x0112, 4, 6}}), 1},
        {"empty", std::string(), 1},
        {"an offset beyond the block", Be(1000, 4) + "MM", 1},
        {"no TIFF header", Be(0, 4) + "JUNKJUNKJUNK", 1},
        {"cut inside the directory", ExifBlock(true, {width, {0x0112, 3, 6}}).substr(0, 4 + 8 + 2 + 12 + 4), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExifOrientation(c.block), c.orientation) << c.what;
}

std::string Box(const std::string& type, const std::string& content)
{
    return Be(static_cast<std::uint32_t>(8 + content.size()), 4) + type + content;
}

std::string FullBox(const std::string& type, const std::string& content)
{
    return Box(type, std::string(4, '\0') + content);
}

TEST(ExifOrientationTest, AHeifFileTurnsItsPictureItselfOnlyWithRotationOrMirrorProperties)
{
    const std::string ftyp = Box("ftyp", "heic" + Be(0, 4) + "mif1heic");
    const std::string ispe = FullBox("ispe", Be(4000, 4) + Be(3000, 4));
    const auto file = [&](const std::string& properties) {
        return ftyp + FullBox("meta", FullBox("hdlr", std::string(20, '\0')) + Box("iprp", Box("ipco", properties))) +
               Box("mdat", "irot imir");   // the names in the data are not properties
    };
    EXPECT_TRUE(HeifHasOwnTransformation(file(ispe + Box("irot", std::string(1, '\1')))));
    EXPECT_TRUE(HeifHasOwnTransformation(file(Box("imir", std::string(1, '\0')) + ispe)));
    EXPECT_FALSE(HeifHasOwnTransformation(file(ispe)));
    // A box that claims more than its container holds ends the walk.
    std::string damaged = file(ispe + Box("irot", std::string(1, '\1')));
    damaged.replace(ftyp.size(), 4, Be(1u << 30, 4));
    EXPECT_FALSE(HeifHasOwnTransformation(damaged));
    EXPECT_FALSE(HeifHasOwnTransformation(""));
    EXPECT_FALSE(HeifHasOwnTransformation("short"));
}

} // namespace
} // namespace velmora
