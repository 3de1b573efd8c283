#pragma once

#include "catalogue/ItemRows.h"

#include <string>
#include <string_view>

namespace velmora {

class MessageBoxes;

inline constexpr const char* kEmptySearchMessage = "Please enter some text to find.";
inline constexpr const char* kInvalidSearchMessage = "Invalid Search Criteria Entered";

// The search text as a LIKE pattern body: quotes doubled, then "*" -> "%" and
// "?" -> "_". A "%" or "_" typed by the user stays a wildcard.
std::string SearchPattern(std::string_view text);
// Every item whose description or file name contains the text, ordered by file name.
std::string BuildSearchQuery(std::string_view text);

struct SearchResult {
    enum class Status {
        NoText,     // nothing to search for: the list stays as it is
        Rejected,   // the database refused the pattern: the list is left empty
        Listed,
    };
    Status status = Status::NoText;
    ItemListing listing;
};

// The " Find" button: tells the user (through messages) when there is no text or the
// database rejects it, else lists what the search finds.
SearchResult RunSearch(db::Connection& connection, std::string_view text, MessageBoxes& messages);

} // namespace velmora
