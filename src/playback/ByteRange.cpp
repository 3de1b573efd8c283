#include "playback/ByteRange.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace velmora {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A non-empty run of decimal digits, nothing else.
std::optional<std::int64_t> Number(std::string_view text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return std::numeric_limits<std::int64_t>::max();   // beyond any item
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

ByteRange ByteRange::Parse(std::optional<std::string_view> header, std::int64_t size)
{
    const ByteRange whole{Kind::Whole, 0, size - 1};
    if (!header)
        return whole;
    std::string_view spec = Trim(*header);
    if (!StartsWithNoCase(spec, "bytes="))
        return whole;
    spec = Trim(spec.substr(6));
    if (spec.find(',') != std::string_view::npos)
        return whole;
    const auto dash = spec.find('-');
    if (dash == std::string_view::npos)
        return whole;
    const std::string_view firstText = Trim(spec.substr(0, dash));
    const std::string_view lastText = Trim(spec.substr(dash + 1));

    if (firstText.empty()) {
        // Suffix range: the last K bytes.
        const auto suffix = Number(lastText);
        if (!suffix)
            return whole;
        if (*suffix == 0 || size == 0)
            return {Kind::Unsatisfiable, 0, -1};
        return {Kind::Partial, size - std::min(*suffix, size), size - 1};
    }
    const auto first = Number(firstText);
    if (!first)
        return whole;
    std::int64_t last = size - 1;
    if (!lastText.empty()) {
        const auto given = Number(lastText);
        if (!given || *given < *first)
            return whole;
        last = std::min(*given, size - 1);
    }
    if (*first >= size)
        return {Kind::Unsatisfiable, 0, -1};
    return {Kind::Partial, *first, last};
}

} // namespace velmora
