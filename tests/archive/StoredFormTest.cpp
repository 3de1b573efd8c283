// The files a library, its store and a transfer archive are made of, as the program's
// writers leave them: every table's schema and every row, value by value with its
// storage class. Other builds and other programs read these files, so a change in how
// the program writes must not change a byte of what it writes. The expected dump was
// taken from the build before the database layer's writers were last reworked.
#include "archive/ArchiveFixture.h"

#include "catalogue/ItemDeletion.h"
#include "settings/LibraryOptions.h"
#include "store/Statement.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace velmora;
using namespace velmora::test;

namespace {

std::string ValueText(sqlite3_stmt* row, int column, const std::string& today)
{
    switch (sqlite3_column_type(row, column)) {
    case SQLITE_NULL:
        return "null";
    case SQLITE_INTEGER:
        return "int:" + std::to_string(sqlite3_column_int64(row, column));
    case SQLITE_FLOAT:
        return "real:" + std::to_string(sqlite3_column_double(row, column));
    case SQLITE_TEXT: {
        std::string text(reinterpret_cast<const char*>(sqlite3_column_text(row, column)),
                         static_cast<std::size_t>(sqlite3_column_bytes(row, column)));
        return "text:" + (text == today ? std::string("<today>") : text);
    }
    default: {
        // Long values by length and an FNV-1a hash of their bytes.
        const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(row, column));
        const int size = sqlite3_column_bytes(row, column);
        std::uint64_t hash = 14695981039346656037ull;
        for (int i = 0; i < size; ++i)
            hash = (hash ^ data[i]) * 1099511628211ull;
        std::ostringstream out;
        out << "blob:" << size << ":" << std::hex << hash;
        return out.str();
    }
    }
}

// The schema of tables (with their indexes and triggers) and their rows in order.
std::string Dump(db::Connection& connection, const std::vector<std::pair<std::string, std::string>>& tables,
                 const std::string& today)
{
    std::ostringstream out;
    for (const auto& [table, order] : tables) {
        db::Statement schema(connection.Handle(),
                             "SELECT type, name, sql FROM sqlite_master WHERE tbl_name = ? ORDER BY type, name",
                             connection.DataSource());
        schema.BindText(1, table);
        while (schema.Step())
            for (int c = 0; c < 3; ++c)
                out << ValueText(schema.Handle(), c, today) << (c == 2 ? "\n" : " | ");
        db::Statement rows(connection.Handle(), "SELECT * FROM \"" + table + "\" ORDER BY " + order,
                           connection.DataSource());
        const int columns = sqlite3_column_count(rows.Handle());
        while (rows.Step()) {
            out << "  " << table << ":";
            for (int c = 0; c < columns; ++c)
                out << " " << sqlite3_column_name(rows.Handle(), c) << "=" << ValueText(rows.Handle(), c, today);
            out << "\n";
        }
    }
    return out.str();
}

const std::vector<std::pair<std::string, std::string>> kMainTables{
    {"Record", "rec_ident"},       {"Category", "cat_id"},     {"RecordCategory", "reccat_id"},
    {"options", "_rowid_"},        {"space", "st_num"},        {"sqlite_sequence", "name"},
    {"pendingadd", "pa_record"},   {"pendingdelete", "pd_record"}, {"keychange", "kc_generation"}};
const std::vector<std::pair<std::string, std::string>> kStoreTables{{"recobject", "ro_record, ro_chunk"}};
const std::vector<std::pair<std::string, std::string>> kArchiveTables{{"Options", "_rowid_"},
                                                                      {"record", "_rowid_"}};

std::string Pattern(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return bytes;
}

class StoredFormTest : public ArchiveFixture {};

} // namespace

TEST_F(StoredFormTest, LibraryStoreAndArchiveKeepTheirBytes)
{
    const std::string today = Today();
    std::string dump;

    // Options written twice: the recovery copy off, then on again with a new caption.
    LibraryOptions options = LibraryOptions::Read(mainConn());
    options.caption = "Stored form";
    options.thumbSize = 120;
    options.deleteDropped = true;
    options.enableThumb = false;
    options.slideshow.delaySeconds = 7;
    options.slideshow.repeat = true;
    options.slideshowColour = 0x00102030;
    options.keepRecoveryCopy = false;
    options.Write(mainConn());
    options.keepRecoveryCopy = true;
    options.Write(mainConn());

    const int holiday = Category("Holiday");
    const int beach = Category("Beach", holiday);
    Category("Empty");
    const int small = AddFiled("small.jpg", holiday, "small content");
    const int movie = AddFiled("movie.mpg", beach, Pattern(1200000, 1));
    const int song = AddFiled("song.mp3", kUnclassifiedId, Pattern(70000, 2));
    Link(holiday, movie);
    EXPECT_EQ(DeleteItems(mainConn(), {small}, exportProgress), std::vector<int>{small});

    library->ChangePassword("another password", exportProgress);

    ASSERT_EQ(Export({movie, song}, ArchivePath()).exported, 2);

    dump += "== main\n" + Dump(mainConn(), kMainTables, today);
    dump += "== store 1\n" + Dump(ObjectStore::ForThisThread().StoreConnection(1), kStoreTables, today);
    dump += "== archive\n" + Dump(*OpenForWriting(ArchivePath()), kArchiveTables, today);

    UseTarget();
    const int imported = TargetCategory("Imported");
    ASSERT_EQ(Import(ArchivePath(), imported), 2);
    dump += "== target main\n" + Dump(target->MainConnection(), kMainTables, today);
    dump += "== target store 1\n" + Dump(ObjectStore::ForThisThread().StoreConnection(1), kStoreTables, today);

    const std::filesystem::path expected =
        std::filesystem::path(VELMORA_SOURCE_DIR) / "tests" / "archive" / "data" / "stored-form.txt";
    // Set when the expected dump is taken on purpose, from a build known to be right.
    if (const char* record = std::getenv("VELMORA_RECORD_STORED_FORM"); record && *record) {
        std::ofstream(expected, std::ios::binary) << dump;
        GTEST_SKIP() << "recorded " << expected;
    }
    std::ifstream in(expected, std::ios::binary);
    ASSERT_TRUE(in) << "missing " << expected;
    const std::string want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(dump, want);
}
