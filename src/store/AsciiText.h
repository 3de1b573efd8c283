#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace velmora {

// Lower-cases the ASCII letters only: file names, SQL names and option words compare
// without case, whatever the locale.
inline std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

} // namespace velmora
