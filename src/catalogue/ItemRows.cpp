#include "catalogue/ItemRows.h"

#include "catalogue/Categories.h"
#include "store/Connection.h"
#include "store/SqlText.h"
#include "store/TableRow.h"


namespace velmora {

namespace {

const char* const kListColumns =
    "Select rec_tnorigname, rec_description, rec_date_added, rec_notes, rec_ident, rec_size ";

std::string Counted(int count, const char* one, const char* many)
{
    return std::to_string(count) + (count == 1 ? one : many);
}

} // namespace

void ItemCounters::Count(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Image:
        ++images;
        break;
    case ItemKind::Video:
        ++movies;
        break;
    case ItemKind::Audio:
        ++audio;
        break;
    case ItemKind::Unknown:
        ++unknown;
        break;
    }
}

std::string ItemCounters::ItemsText() const { return Counted(Total(), " Item", " Items"); }
std::string ItemCounters::MoviesText() const { return Counted(movies, " movie", " movies"); }
std::string ItemCounters::AudioText() const { return Counted(audio, " audio", " audio"); }
std::string ItemCounters::ImagesText() const { return Counted(images, " image", " images"); }

std::string CategoryItemsQuery(int categoryId)
{
    return kListColumns +
           SqlFormat("FROM Record INNER JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record "
                     "where RecordCategory.reccat_category = %d order by rec_description",
                     categoryId);
}

std::string UnclassifiedItemsQuery()
{
    return std::string(kListColumns) +
           "FROM Record LEFT JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record "
           "WHERE (((RecordCategory.reccat_id) Is Null))  order by rec_description";
}

std::string ItemsQueryForNode(int nodeId)
{
    return nodeId == kUnclassifiedId ? UnclassifiedItemsQuery() : CategoryItemsQuery(nodeId);
}

ItemListing ReadItemRows(db::Connection& connection, const std::string& sql)
{
    ItemListing listing;
    db::Query query(connection, sql);
    const bool hasNotes = query.HasField("rec_notes");
    for (; !query.Eof(); query.Next()) {
        ItemRow row;
        row.recIdent = static_cast<int>(query.AsInteger("rec_ident"));
        row.fileName = query.AsString("rec_tnorigname");
        row.description = query.AsString("rec_description");
        if (!query.IsNull("rec_date_added")) {
            // A date the column cannot hold as a date lists without one.
            try {
                row.dateAdded = query.AsDate("rec_date_added");
            } catch (const std::exception&) {
            }
        }
        if (hasNotes)
            row.notes = query.AsString("rec_notes");
        row.size = query.AsInteger("rec_size");
        row.kind = ItemKindOf(row.fileName);
        listing.counters.Count(row.kind);
        listing.rows.push_back(std::move(row));
    }
    return listing;
}

void RenameItemDescription(db::Connection& connection, int recIdent, const std::string& description)
{
    db::TableRow("record").Set("rec_description", description).Update(connection, "rec_ident = ?", {recIdent});
}

} // namespace velmora
