#include "tool/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace velmora::tool {

namespace {

void AppendHexByte(std::string& out, unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

void AppendControl(std::string& out, unsigned char c)
{
    switch (c) {
    case '\a': out += "\\a"; return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\v': out += "\\v"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
    default: AppendHexByte(out, c); return;
    }
}

// The length of the well-formed UTF-8 sequence at the start of text (shortest form,
// no surrogates, at most U+10FFFF) and its code point; 0 when there is none.
std::size_t Utf8Sequence(std::string_view text, std::uint32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        codePoint = first & 0x1F;
        minimum = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        codePoint = first & 0x0F;
        minimum = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        codePoint = first & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

std::string Escaped(std::string_view text, bool keepLineBreaks)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            const bool control = c < 0x20 || c == 0x7F;
            if (!control || (keepLineBreaks && (c == '\n' || c == '\r')))
                out += static_cast<char>(c);
            else
                AppendControl(out, c);
            ++i;
            continue;
        }
        std::uint32_t codePoint = 0;
        const std::size_t length = Utf8Sequence(text.substr(i), codePoint);
        if (length == 0) {
            AppendHexByte(out, c);
            ++i;
        } else if (codePoint <= 0x9F) {
            // U+0080 to U+009F: the 8-bit controls, CSI among them.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            out += escape;
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace

std::string ForTerminal(std::string_view text)
{
    return Escaped(text, false);
}

std::string MessageForTerminal(std::string_view text)
{
    return Escaped(text, true);
}

} // namespace velmora::tool
