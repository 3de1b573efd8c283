#include "catalogue/Search.h"

#include "store/SqlText.h"
#include "ui/MessageBoxes.h"

#include <exception>

namespace velmora {

std::string SearchPattern(std::string_view text)
{
    std::string pattern = EscapeSql(text);
    for (char& c : pattern) {
        if (c == '*')
            c = '%';
        else if (c == '?')
            c = '_';
    }
    return pattern;
}

std::string BuildSearchQuery(std::string_view text)
{
    const std::string t = SearchPattern(text);
    return "SELECT * FROM Record where " + ("rec_description like '%" + t + "%' ") + " or " +
           ("rec_tnorigname like '%" + t + "%' ") + "Order by rec_tnorigname";
}

SearchResult RunSearch(db::Connection& connection, std::string_view text, MessageBoxes& messages)
{
    SearchResult result;
    if (text.empty()) {
        messages.ShowMessageBox(kEmptySearchMessage, mb::kIconInformation);
        return result;
    }
    try {
        result.listing = ReadItemRows(connection, BuildSearchQuery(text));
        result.status = SearchResult::Status::Listed;
    } catch (const std::exception&) {
        result.listing = {};
        result.status = SearchResult::Status::Rejected;
        messages.ShowMessageBox(kInvalidSearchMessage, mb::kIconError);
    }
    return result;
}

} // namespace velmora
