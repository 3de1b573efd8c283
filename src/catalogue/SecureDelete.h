#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The zero block the file is overwritten with, written whole each time: the file ends
// up as long as the smallest multiple of it that exceeds its old size.
inline constexpr std::int64_t kSecureDeleteBlock = 65001;

// Overwrites a regular file once with zeros from its start, forces the zeros to the
// disk, then deletes it. A symbolic link is never followed: the link is removed and
// its target left alone. Never reports an error: a file that is missing, not a regular
// file, read-only or cannot be overwritten stays where it is.
void SecureDeleteFile(const std::string& path) noexcept;

} // namespace velmora
