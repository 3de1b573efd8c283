#pragma once

#include "catalogue/ItemKind.h"
#include "store/Query.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// One row of the item list, read from a Record query.
struct ItemRow {
    int recIdent = 0;
    std::string fileName;        // rec_tnorigname
    std::string description;     // rec_description
    std::optional<db::Date> dateAdded;
    std::string notes;
    std::int64_t size = 0;       // rec_size, also the sort key of the "Size" column
    ItemKind kind = ItemKind::Unknown;
};

// The four counters of a listing, by kind.
struct ItemCounters {
    int images = 0;
    int movies = 0;
    int audio = 0;
    int unknown = 0;

    void Count(ItemKind kind);
    int Total() const { return images + movies + audio + unknown; }

    // The status line's labels: "1 Item" / "%d Items", "1 movie" / "%d movies",
    // "%d audio", "1 image" / "%d images".
    std::string ItemsText() const;
    std::string MoviesText() const;
    std::string AudioText() const;
    std::string ImagesText() const;
};

struct ItemListing {
    std::vector<ItemRow> rows;
    ItemCounters counters;
};

// The items linked directly to a category, ordered by description.
std::string CategoryItemsQuery(int categoryId);
// The items with no link at all: what "<Unclassified>" lists.
std::string UnclassifiedItemsQuery();
// The query that selecting a tree node runs: "<Unclassified>" for 0.
std::string ItemsQueryForNode(int nodeId);

// Runs a Record query that yields rec_ident, rec_tnorigname, rec_description,
// rec_date_added and rec_size (rec_notes when present) and reads its rows in the
// query's order, classified and counted. Errors pass on (db::DatabaseError).
ItemListing ReadItemRows(db::Connection& connection, const std::string& sql);

// "Change Item Description": stores the new text as typed, apostrophes included.
void RenameItemDescription(db::Connection& connection, int recIdent, const std::string& description);

} // namespace velmora
