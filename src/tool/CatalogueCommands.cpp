// Catalogue commands: the category tree and the search, as the Library page shows them.
#include "tool/LibraryAccess.h"
#include "tool/TerminalText.h"
#include "tool/ToolCommand.h"

#include "catalogue/CategoryTree.h"
#include "catalogue/ItemRows.h"
#include "catalogue/Search.h"
#include "store/DatabaseError.h"

#include <iostream>

namespace velmora::tool {

namespace {

void PrintNodes(const std::vector<CategoryNode>& nodes, const std::map<int, int>& counts, int depth)
{
    for (const auto& node : nodes) {
        const auto count = counts.find(node.id);
        std::cout << std::string(static_cast<std::size_t>(depth) * 2, ' ') << ForTerminal(node.description) << '\t'
                  << (count == counts.end() ? 0 : count->second) << '\n';
        PrintNodes(node.children, counts, depth + 1);
    }
}

int Tree(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    if (!parsed.positional.empty())
        throw ToolError("usage: velmora-tool tree --data DIR");
    auto library = OpenLibrary(parsed.dataDir);
    db::Connection& connection = library->MainConnection();
    std::map<int, int> counts = CountItemsPerCategory(connection);
    counts[0] = CountUnclassifiedItems(connection);   // "<Unclassified>" is node 0
    PrintNodes(BuildCategoryTree(connection), counts, 0);
    return 0;
}

int Search(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    if (parsed.positional.size() != 1)
        throw ToolError("usage: velmora-tool search --data DIR TEXT");
    const std::string& text = parsed.positional[0];
    if (text.empty())
        throw ToolError(kEmptySearchMessage);
    auto library = OpenLibrary(parsed.dataDir);
    ItemListing found;
    try {
        found = ReadItemRows(library->MainConnection(), BuildSearchQuery(text));
    } catch (const db::DatabaseError& rejected) {
        throw ToolError(std::string(kInvalidSearchMessage) + " (" + rejected.what() + ")");
    }
    for (const auto& row : found.rows)
        std::cout << row.recIdent << '\t' << ForTerminal(row.fileName) << '\t' << ForTerminal(row.description) << '\n';
    return 0;
}

constexpr ToolCommand kCommands[] = {
    {"tree", "--data DIR", "the category tree with each category's item count", Tree},
    {"search", "--data DIR TEXT", "the items whose description or file name contains TEXT (* and ? wildcards)",
     Search},
};

} // namespace

std::span<const ToolCommand> CatalogueCommands()
{
    return kCommands;
}

} // namespace velmora::tool
