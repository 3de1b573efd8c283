// Items longer than one value of the database engine travel in pieces. The piece length
// is lowered here so that items "above the limit" take milliseconds; an archive of
// items that fit stays the template's, and readers that know only that refuse the rest.
#include "archive/ArchiveFixture.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveNames.h"
#include "archive/ArchivePieces.h"
#include "archive/ArchiveSchema.h"
#include "store/CheckValue.h"
#include "store/Statement.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Reason = ArchiveError::Reason;

class ArchivePiecesTest : public ArchiveFixture {
protected:
    // The archive's objects as the engine keeps them: type, name, table and the SQL text.
    static std::vector<std::string> Schema(const std::string& path)
    {
        auto c = OpenForWriting(path);
        db::Statement rows(c->Handle(), "SELECT type || '|' || name || '|' || tbl_name || '|' || coalesce(sql, '') "
                                        "FROM sqlite_master ORDER BY type, name",
                           path);
        std::vector<std::string> objects;
        while (rows.Step())
            objects.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(rows.Handle(), 0)));
        objects.push_back("application_id " +
                          std::to_string(db::SingleInteger(c->Handle(), "PRAGMA application_id", path)));
        return objects;
    }

    static bool HasPieceTable(const std::string& path)
    {
        return ArchiveScalar(path, "select count(*) from sqlite_master where name = 'recpiece'") == 1;
    }

    // The lengths of the values holding the content of the archive's row-th record row,
    // rec_object first, and their bytes one after the other.
    static std::pair<std::vector<std::int64_t>, std::string> Values(const std::string& path, int row)
    {
        auto c = OpenForWriting(path);
        std::vector<std::int64_t> lengths;
        std::string bytes;
        auto take = [&](db::Statement& values) {
            while (values.Step()) {
                const auto* data = static_cast<const char*>(sqlite3_column_blob(values.Handle(), 0));
                const int n = sqlite3_column_bytes(values.Handle(), 0);
                lengths.push_back(n);
                bytes.append(data ? data : "", static_cast<std::size_t>(n));
            }
        };
        db::Statement first(c->Handle(), "SELECT rec_object FROM record WHERE rowid = ?", path);
        first.BindInt64(1, row);
        take(first);
        if (HasPieceTable(path)) {
            db::Statement pieces(c->Handle(), "SELECT rp_object FROM recpiece WHERE rp_record = ? ORDER BY rp_piece",
                                 path);
            pieces.BindInt64(1, row);
            take(pieces);
        }
        return {lengths, bytes};
    }

    static std::string Padded(const std::string& content)
    {
        return content + std::string((8 - content.size() % 8) % 8, '\0');
    }
};

TEST_F(ArchivePiecesTest, ItemsAroundThePieceLengthTravelByteForByte)
{
    const struct {
        std::int64_t pieceLength;
        std::size_t size;
        std::vector<std::int64_t> values;   // rec_object's length, then each piece's
    } cases[] = {
        {4096, 0, {0}},
        {4096, 4095, {4096}},
        {4096, 4096, {4096}},
        {4096, 4097, {4096, 8}},
        {4096, 8192, {4096, 4096}},
        {4096, 8193, {4096, 4096, 8}},
        // Pieces that end inside the chunks the content is read in, and on their ends.
        {200000, 1000001, {200000, 200000, 200000, 200000, 200000, 8}},
        {500000, 1500000, {500000, 500000, 500000}},
    };
    std::vector<std::pair<std::string, std::string>> archives;   // path, content
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("piece length " + std::to_string(c.pieceLength) + ", size " + std::to_string(c.size));
        const std::string content = PatternBytes(c.size, static_cast<unsigned>(++n));
        const int id = AddItem(content, "movie.mpg");
        const std::string path = ArchivePath("case" + std::to_string(n) + ".eta");
        exportProgress = RecordingProgress();
        ExportToArchive(mainConn(), path, kArchivePassword, {id}, exportProgress, false, c.pieceLength);
        EXPECT_EQ(exportProgress.allItemSteps, ChunkCount(static_cast<std::int64_t>(c.size)));

        EXPECT_EQ(ArchiveScalar(path, "select rec_size from record"), static_cast<std::int64_t>(c.size));
        EXPECT_EQ(HasPieceTable(path), c.values.size() > 1);
        const auto [lengths, bytes] = Values(path, 1);
        EXPECT_EQ(lengths, c.values);
        // The pieces one after the other are the content as one value holds it.
        EXPECT_TRUE(DecryptBytes(std::string(kArchivePassword), bytes) == Padded(content));
        archives.emplace_back(path, content);
    }

    UseTarget();
    int id = 0;
    for (const auto& [path, content] : archives) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Import(path), 1);
        ++id;
        EXPECT_EQ(Scalar(SqlFormat("select rec_size from Record where rec_ident = %d", id)),
                  static_cast<std::int64_t>(content.size()));
        EXPECT_TRUE(ReadItem(id) == content);
    }
}

TEST_F(ArchivePiecesTest, CancelWhileAnItemInPiecesIsOnItsWayCompletesThatItemWhole)
{
    const std::string content = PatternBytes(1000001, 5);
    const int big = AddItem(content, "big.mpg");
    const int ten = AddItem("0123456789", "ten.jpg");
    const std::string path = ArchivePath();
    exportProgress.cancelAfterItemSteps = 1;
    const ExportResult result = ExportToArchive(mainConn(), path, kArchivePassword, {big, ten}, exportProgress, true, 4096);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.exported, 1);
    EXPECT_EQ(exportProgress.allItemSteps, 3);
    EXPECT_EQ(ArchiveScalar(path, "select count(*) from record"), 1);
    EXPECT_EQ(ArchiveScalar(path, "select count(*) from recpiece"), PieceCount(1000008, 4096) - 1);
    EXPECT_TRUE(DecryptBytes(std::string(kArchivePassword), Values(path, 1).second) == Padded(content));

    exportProgress = RecordingProgress();
    ExportToArchive(mainConn(), ArchivePath("both.eta"), kArchivePassword, {big, ten}, exportProgress, false, 4096);
    UseTarget();
    importProgress.cancelAfterItemSteps = 1;
    EXPECT_EQ(Import(ArchivePath("both.eta")), 1);
    EXPECT_EQ(importProgress.allItemSteps, 3);
    EXPECT_EQ(Scalar("select count(*) from Record"), 1);
    EXPECT_TRUE(ReadItem(1) == content);
}

TEST_F(ArchivePiecesTest, AnArchiveOfItemsThatFitIsTheTemplatesSchemaExactly)
{
    const std::vector<std::string> templ = Schema(TemplateArchivePath());
    const int ten = AddItem("0123456789", "ten.jpg");
    const int big = AddItem(PatternBytes(1000001, 3), "big.mpg");

    Export({ten, big}, ArchivePath("default.eta"));
    EXPECT_EQ(Schema(ArchivePath("default.eta")), templ);
    // Up to the piece length an item is one value, as in every archive before pieces.
    ExportToArchive(mainConn(), ArchivePath("fits.eta"), kArchivePassword, {ten}, exportProgress, false, 16);
    EXPECT_EQ(Schema(ArchivePath("fits.eta")), templ);

    // An item in pieces that fails half-way takes its piece table with it.
    const int broken = AddItem(PatternBytes(600000, 4), "broken.mpg");
    ObjectStore::ForThisThread().StoreConnection(1).Execute(
        SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 2", broken));
    EXPECT_ANY_THROW(
        ExportToArchive(mainConn(), ArchivePath("broken.eta"), kArchivePassword, {ten, broken}, exportProgress, false, 4096));
    EXPECT_EQ(Schema(ArchivePath("broken.eta")), templ);
    EXPECT_EQ(ArchiveScalar(ArchivePath("broken.eta"), "select count(*) from record"), 1);

    ExportToArchive(mainConn(), ArchivePath("pieces.eta"), kArchivePassword, {ten, big}, exportProgress, false, 4096);
    std::vector<std::string> pieced = templ;
    pieced.insert(pieced.end() - 1, "table|recpiece|recpiece|" + PieceTableSql());
    std::sort(pieced.begin(), pieced.end() - 1);
    EXPECT_EQ(Schema(ArchivePath("pieces.eta")), pieced);
}

TEST_F(ArchivePiecesTest, TheSchemaCheckOfReadersBeforePiecesRefusesAnArchiveWithPieces)
{
    const int ten = AddItem("0123456789", "ten.jpg");
    const int big = AddItem(PatternBytes(10000, 3), "big.mpg");
    const std::string plain = ArchivePath("plain.eta");
    const std::string pieced = ArchivePath("pieced.eta");
    ExportToArchive(mainConn(), plain, kArchivePassword, {ten, big}, exportProgress, false, 16384);
    ExportToArchive(mainConn(), pieced, kArchivePassword, {ten, big}, exportProgress, false, 4096);

    auto readOnly = [](const std::string& path) {
        auto c = std::make_unique<db::Connection>(
            db::ConnectionString::Build(path, db::kReadShareDenyReadWrite, GetDatabasePassword()));
        c->SetImmutable(true);
        c->Open();
        return c;
    };
    EXPECT_NO_THROW(CheckTemplateSchema(*readOnly(plain), TemplateArchivePath()));
    try {
        CheckTemplateSchema(*readOnly(pieced), TemplateArchivePath());
        ADD_FAILURE() << "accepted";
    } catch (const ArchiveError& refused) {
        EXPECT_EQ(refused.reason(), Reason::MissingSchema);
        EXPECT_EQ(std::string(refused.what()).rfind("\"" + pieced + "\" is not a transfer archive: it has table recpiece", 0),
                  0u)
            << refused.what();
        EXPECT_EQ(ImportFailedMessage(refused),
                  "Unable to import the archive for the following reason: \r\nthe file is not a valid transfer archive");
    }
    EXPECT_EQ(CheckArchiveSchema(*readOnly(plain), TemplateArchivePath()), ArchiveForm::Plain);
    EXPECT_EQ(CheckArchiveSchema(*readOnly(pieced), TemplateArchivePath()), ArchiveForm::Pieced);
}

TEST_F(ArchivePiecesTest, PiecesOutOfPlaceAreRefusedWhenOpenedAndAddNothing)
{
    // 10,000 bytes in pieces of 4096: rec_object, then pieces 2 (4096) and 3 (1808).
    AddItem("0123456789", "ten.jpg");
    AddItem(PatternBytes(10000, 9), "big.mpg");
    const std::string good = ArchivePath("good.eta");
    ExportToArchive(mainConn(), good, kArchivePassword, {1, 2}, exportProgress, false, 4096);
    ASSERT_EQ(ArchiveScalar(good, "select count(*) from recpiece"), 2);
    UseTarget();

    const struct {
        const char* what;
        const char* sql;
        Reason reason;
    } cases[] = {
        {"a piece missing", "DELETE FROM recpiece WHERE rp_piece = 2", Reason::BadContent},
        {"the last piece missing", "DELETE FROM recpiece WHERE rp_piece = 3", Reason::BadContent},
        {"a piece short", "UPDATE recpiece SET rp_object = substr(rp_object, 1, 4088) WHERE rp_piece = 2",
         Reason::BadContent},
        {"the last piece long", "UPDATE recpiece SET rp_object = rp_object || zeroblob(8) WHERE rp_piece = 3",
         Reason::BadContent},
        {"pieces reordered", "UPDATE recpiece SET rp_piece = 5 - rp_piece", Reason::BadContent},
        {"a piece extra", "INSERT INTO recpiece SELECT rp_record, 4, rp_object FROM recpiece WHERE rp_piece = 3",
         Reason::BadContent},
        {"a piece twice", "INSERT INTO recpiece SELECT rp_record, rp_piece, rp_object FROM recpiece WHERE rp_piece = 3",
         Reason::BadContent},
        {"a piece numbered as rec_object", "UPDATE recpiece SET rp_piece = 1 WHERE rp_piece = 3", Reason::BadContent},
        {"a piece of no item", "INSERT INTO recpiece VALUES (99, 2, zeroblob(8))", Reason::BadContent},
        {"a piece of an item that fits", "INSERT INTO recpiece VALUES (1, 2, zeroblob(8))", Reason::BadContent},
        {"rec_object short of its pieces", "UPDATE record SET rec_object = substr(rec_object, 1, 4088) WHERE rowid = 2",
         Reason::BadContent},
        {"a piece as text", "UPDATE recpiece SET rp_object = CAST(rp_object AS TEXT) WHERE rp_piece = 3",
         Reason::BadContent},
        {"a piece number as text", "UPDATE recpiece SET rp_piece = 'two' WHERE rp_piece = 2", Reason::BadContent},
        {"a further column in the piece table", "ALTER TABLE recpiece ADD COLUMN rp_more TEXT", Reason::MissingSchema},
        {"an index on the piece table", "CREATE INDEX by_item ON recpiece (rp_record)", Reason::MissingSchema},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = ArchivePath("bad" + std::to_string(++n) + ".eta");
        fs::copy_file(good, path);
        ArchiveExecute(path, c.sql);
        try {
            TransferArchive archive(path);
            ADD_FAILURE() << "opened";
            ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress);
        } catch (const ArchiveError& refused) {
            EXPECT_EQ(refused.reason(), c.reason) << refused.what();
            const std::string told = ImportFailedMessage(refused);
            EXPECT_EQ(told.rfind(std::string(kImportFailedPrefix) + "\r\n", 0), 0u) << told;
            if (c.reason == Reason::BadContent) {
                EXPECT_NE(told.find("\"" + path + "\" is damaged"), std::string::npos) << told;
            }
        }
        EXPECT_EQ(Scalar("select count(*) from Record"), 0);
    }
    EXPECT_TRUE(importProgress.calls.empty());
    EXPECT_EQ(Import(good), 2);
    EXPECT_EQ(ReadItem(2), PatternBytes(10000, 9));
}

// Kills the running process once ready() says so; whether it was killed.
bool KillWhen(QProcess& process, const std::function<bool()>& ready)
{
    while (process.state() == QProcess::Running) {
        process.waitForFinished(5);
        if (ready()) {
            process.kill();
            process.waitForFinished();
            return process.exitStatus() == QProcess::CrashExit;
        }
    }
    return false;
}

TEST_F(ArchivePiecesTest, AnImportOfAnItemInPiecesKilledHalfWayLeavesNothing)
{
    const std::string content = PatternBytes(40000001, 7);
    const std::string archive = ArchivePath("movie.eta");
    ExportToArchive(mainConn(), archive, kArchivePassword, {AddItem(content, "movie.avi")}, exportProgress, false,
                    4u << 20);
    ASSERT_TRUE(HasPieceTable(archive));

    TempDir other;
    auto tool = [&](const std::vector<std::string>& args) {
        std::vector<std::string> all{args.front(), "--data", other.str()};
        all.insert(all.end(), args.begin() + 1, args.end());
        return RunProgram("velmora-tool", all,
                          {{"VELMORA_PASSWORD", "pw two"}, {"VELMORA_ARCHIVE_PASSWORD", kArchivePassword}});
    };
    ASSERT_EQ(tool({"init"}).exitCode, 0);

    QProcess import;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELMORA_PASSWORD", "pw two");
    environment.insert("VELMORA_ARCHIVE_PASSWORD", kArchivePassword);
    import.setProcessEnvironment(environment);
    import.start(QString::fromStdString((BinDir() / "velmora-tool").string()),
                 {"import", "--data", QString::fromStdString(other.str()), "--archive", QString::fromStdString(archive)});
    ASSERT_TRUE(import.waitForStarted());
    // Killed once half of the item is in the store (its file and its log), pieces
    // behind it and pieces ahead.
    const bool killed = KillWhen(import, [&] {
        std::uintmax_t stored = 0;
        std::error_code e;
        for (const auto& file : fs::directory_iterator(other.path(), e))
            if (file.path().filename().string().rfind("tnstore", 0) == 0)
                stored += file.file_size(e);
        return stored > 20u << 20;
    });
    ASSERT_TRUE(killed) << "the import ended before it could be interrupted";

    const auto listed = tool({"ls"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "");
    const auto check = tool({"fsck"});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

    // The archive is whole: a second import adds the item whole.
    EXPECT_EQ(tool({"import", "--archive", archive}).exitCode, 0);
    const std::string line = tool({"ls"}).out;
    const std::string id = line.substr(0, line.find('\t'));   // numbers are never reused
    EXPECT_EQ(line, id + "\t40000001\tmovie.avi\tmovie.avi\n");
    EXPECT_TRUE(tool({"cat", id}).out == content);
}

} // namespace
} // namespace velmora::test
