#pragma once

#include <cstddef>
#include <string_view>

namespace velmora {

// The orientation tag (1 to 8) of an Exif block as HEIF pictures carry it: a 4-byte
// big-endian offset, then the TIFF header and its first directory. 1 (upright, as
// stored) when the block is short, damaged or has no tag.
int ExifOrientation(std::string_view exifBlock);

// Whether a HEIF file rotates or mirrors its picture with its own properties ("irot",
// "imir"). Such a file's Exif orientation repeats what they do and must not be applied
// a second time.
bool HeifHasOwnTransformation(std::string_view file);

} // namespace velmora
