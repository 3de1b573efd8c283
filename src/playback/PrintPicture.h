#pragma once

#include "catalogue/PrintItems.h"

#include <optional>
#include <string>

namespace velmora {

// The print command's copy of a picture (upper-case extension, bytes): a PNG of the
// picture turned upright when a camera's orientation tag says it is stored turned, or
// when it is in a format print filters do not read (WebP, HEIC, HEIF); nullopt when the
// picture prints as stored, or cannot be decoded (it is then handed over as it is).
std::optional<PrintCopy> UprightPrintCopy(const std::string& extension, const std::string& bytes);

} // namespace velmora
