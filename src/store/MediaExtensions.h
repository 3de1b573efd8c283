#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The upper-case extension of a file name, with its dot (".JPG"); empty when none.
std::string UpperExtension(std::string_view fileName);
// One of the 28 media extensions the library accepts.
bool IsSupportedMediaFile(std::string_view fileName);
// ".GIF", ".JPG", ".BMP", ".JPEG" or ".WMF".
bool IsPictureFile(std::string_view fileName);

} // namespace velmora
