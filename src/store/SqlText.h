#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Statements are built as text: numbers through printf-style "%d", user text through
// QuotedSql, which doubles every single quote so that no text can end the literal.
[[gnu::format(printf, 1, 2)]] std::string SqlFormat(const char* format, ...);
std::string EscapeSql(std::string_view text);          // quotes doubled, no outer quotes
std::string QuotedSql(std::string_view text);          // 'text' with quotes doubled

} // namespace velmora
