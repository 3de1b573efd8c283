#include "catalogue/AddFilesFilter.h"

#include "store/MediaExtensions.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora {

namespace {

struct FilterEntry {
    std::string_view name;
    std::string_view patterns;   // separated by blanks
    // The kind whose extensions beyond the patterns the entry also takes.
    std::optional<MediaKind> widenedBy;
};

// The entries users of the program have always had, in their order; the kinds added
// since widen "All", "Music" and "Movies", and have "Pictures" of their own.
constexpr FilterEntry kEntries[] = {
    {"All",
     "*.jpg *.jpeg *.bmp *.emf *.wmf *.mp3 *.gif *.wma *.wmv *.asf *.mpg *.mpeg *.avi *.m1v *.mp2 *.mpa *.mpe "
     "*.ifo *.vob *.mid *.rmi *.midi *.wav *.snd *.au *.aif *.aifc *.aiff",
     std::nullopt},
    {"JPEG Image File", "*.jpg", {}},
    {"JPEG Image File", "*.jpeg", {}},
    {"Bitmaps", "*.bmp", {}},
    {"Enhanced Metafiles", "*.emf", {}},
    {"Metafiles", "*.wmf", {}},
    {"Midi Files", "*.mid *.rmi *.midi", {}},
    {"Music", "*.wav *.snd *.au *.aif *.aifc *.aiff *.mp3 *.wma *.asf", MediaKind::Sound},
    {"Movies", "*.mpeg *.mpg *.m1v *.mp2 *.mpa *.mpe *.ifo *.vob *.avi *.wmv", MediaKind::Movie},
    {"GIF Files", "*.gif", {}},
    {"Pictures", "", MediaKind::Picture},
};

std::string Pattern(std::string_view extension)
{
    std::string pattern = "*";
    for (char c : extension)
        pattern += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return pattern;
}

bool Lists(std::string_view patterns, const std::string& pattern)
{
    return (" " + std::string(patterns) + " ").find(" " + pattern + " ") != std::string::npos;
}

// The entry's patterns, then those of the table it lacks: all of them for "All"; for
// the others that widen, the later kinds of theirs ("Music" keeps its own idea of the
// older sound files, MIDI apart).
std::string Patterns(const FilterEntry& entry, bool all)
{
    std::string patterns(entry.patterns);
    for (const MediaType& type : MediaTypes()) {
        const std::string pattern = Pattern(type.extension);
        if (Lists(patterns, pattern))
            continue;
        if (!all && (!entry.widenedBy || type.kind != *entry.widenedBy ||
                     (*entry.widenedBy != MediaKind::Picture && Lists(kEntries[0].patterns, pattern))))
            continue;
        if (!patterns.empty())
            patterns += ' ';
        patterns += pattern;
    }
    return patterns;
}

} // namespace

std::string AddFilesFilter()
{
    std::string filter;
    bool first = true;
    for (const FilterEntry& entry : kEntries) {
        if (!first)
            filter += ";;";
        filter += std::string(entry.name) + " (" + Patterns(entry, first) + ")";
        first = false;
    }
    return filter;
}

} // namespace velmora
