#include "store/SqlText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace velmora {

std::string SqlFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

std::string EscapeSql(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::string QuotedSql(std::string_view text)
{
    return "'" + EscapeSql(text) + "'";
}

} // namespace velmora
