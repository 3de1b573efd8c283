#include "archive/ArchiveExport.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveNames.h"
#include "archive/ArchivePieces.h"
#include "archive/ArchiveTemplate.h"
#include "archive/PieceWriter.h"
#include "catalogue/ItemContent.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Cryptography.h"
#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/TableRow.h"
#include "store/Statement.h"
#include "store/Transaction.h"
#include "store/WriteBehind.h"
#include "ui/ProgressRoutines.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace velmora {

namespace {

std::int64_t RoundUpToBlock(std::int64_t size)
{
    return (size + TBlowfish::kBlockSize - 1) / TBlowfish::kBlockSize * TBlowfish::kBlockSize;
}

// Room for the other values of an archive row: SQLite's length limit holds for the
// whole row, not only for rec_object.
constexpr std::int64_t kRowOverhead = 1024;
// Pieces shorter than this would make a large item a very long list of rows.
constexpr std::int64_t kShortestPiece = 1 << 20;

// The longest piece of content an item's record row can hold beside its texts, in
// whole blocks: content up to it goes into rec_object as a whole, longer content in
// pieces of this length.
std::int64_t PieceRoom(db::Connection& connection, std::int64_t textBytes)
{
    const std::int64_t limit = sqlite3_limit(connection.Handle(), SQLITE_LIMIT_LENGTH, -1);
    return (limit - kRowOverhead - textBytes) / TBlowfish::kBlockSize * TBlowfish::kBlockSize;
}

constexpr const char* kTextBytes = "coalesce(length(cast(rec_tnorigname as blob)), 0) + "
                                   "coalesce(length(cast(rec_description as blob)), 0) + "
                                   "coalesce(length(cast(rec_notes as blob)), 0) as text_bytes";

// Everything that would stop the export half-way and can be known in advance: an item
// that is gone, or one whose texts leave its record row no room for a piece of content
// (SQLite's length limit holds for a whole row). Checked before the archive file is
// touched.
void CheckItems(db::Connection& library, const std::vector<int>& items)
{
    for (const int id : items) {
        db::Query record(library, std::string("Select rec_tnorigname, ") + kTextBytes +
                                      " from Record where rec_ident = " + std::to_string(id));
        if (record.Eof())
            throw std::runtime_error("There is no item " + std::to_string(id) + " in the library");
        if (PieceRoom(library, record.AsInteger("text_bytes")) < kShortestPiece)
            throw ArchiveError(ArchiveError::Reason::ItemTooLarge,
                               "The name, description and notes of \"" + record.AsString("rec_tnorigname") +
                                   "\" are too long for a transfer archive (" +
                                   std::to_string(record.AsInteger("text_bytes")) + " bytes)");
    }
}

// Whether target is one of the files the library lives in (its main database, a store
// file, the store template): the copy would replace it with an empty archive.
bool IsLibraryFile(const std::string& target)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::exists(target, error))
        return false;
    std::vector<fs::path> files{JoinPath(GetDataDir(), kMainDatabaseName), JoinPath(GetAppDir(), kStoreTemplateName)};
    for (const auto& entry : fs::directory_iterator(GetDataDir(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("tnstore", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".mdb")
            files.push_back(entry.path());
    }
    return std::any_of(files.begin(), files.end(), [&](const fs::path& file) {
        std::error_code same;
        return fs::equivalent(target, file, same) && !same;
    });
}

void WriteCheckValue(db::Connection& archive, const TBlowfish& cipher)
{
    db::Query options(archive, "select _rowid_ as options_row from Options");
    db::TableRow change("Options");
    change.Set("opt_pass", CheckValueFor(cipher));
    if (options.Eof())
        change.Insert(archive);
    else
        change.Update(archive, "_rowid_ = ?", {options.AsInteger("options_row")});
}

std::string DateText(db::Date date)
{
    const std::chrono::year_month_day ymd(date);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

// One archive row per item, in one transaction: a row is in the archive whole or not
// at all, its pieces with it. Each value gets its final length up front (the cipher
// stream's length is rec_size rounded up to a block) and the content is encrypted
// straight into it.
void ExportItem(db::Connection& library, db::Connection& archive, WriteBehind& behind, const TBlowfish& cipher,
                int id, std::int64_t pieceLength, ProgressRoutines& progress)
{
    db::Query record(library, std::string("Select rec_size, rec_tnorigname, rec_description, rec_notes, ") +
                                  kTextBytes + " from Record where rec_ident = " + std::to_string(id));
    if (record.Eof())
        throw std::runtime_error("There is no item " + std::to_string(id) + " in the library");
    const std::int64_t size = record.AsInteger("rec_size");
    const std::string name = record.AsString("rec_tnorigname");
    progress.SetProgressItem(name, static_cast<int>(size / kChunkSize + 1));
    const std::int64_t total = RoundUpToBlock(size);
    const std::int64_t room = PieceRoom(archive, record.AsInteger("text_bytes"));
    pieceLength = pieceLength > 0 ? std::min(pieceLength, room) : room;

    db::Transaction writing(archive);
    db::Statement insert(archive.Handle(),
                         "INSERT INTO record (rec_size, rec_tnorigname, rec_description, rec_notes, rec_date_added, "
                         "rec_object) VALUES (?, ?, ?, ?, ?, zeroblob(?))",
                         archive.DataSource());
    // Copied values keep a null as null.
    if (record.IsNull("rec_size"))
        insert.BindNull(1);
    else
        insert.BindInt64(1, size);
    int index = 2;
    for (const char* column : {"rec_tnorigname", "rec_description", "rec_notes"}) {
        if (record.IsNull(column))
            insert.BindNull(index++);
        else
            insert.BindText(index++, record.AsString(column));
    }
    insert.BindText(5, DateText(db::Today()));
    insert.BindInt64(6, PieceLength(total, pieceLength, 1));
    const std::int64_t fileBefore = db::SingleInteger(archive.Handle(), "PRAGMA page_count", archive.DataSource()) *
                                    db::SingleInteger(archive.Handle(), "PRAGMA page_size", archive.DataSource());
    insert.Run();
    {
        PieceWriter content(archive, behind, sqlite3_last_insert_rowid(archive.Handle()), fileBefore, total,
                            pieceLength);
        ReadItemEncrypted(library, id, cipher, content, progress);
        if (content.Position() != total)
            throw std::runtime_error("The content of \"" + name + "\" is shorter than its size");
        content.Close();
    }
    writing.Commit();
    progress.StepProgress();
}

} // namespace

ExportResult ExportToArchive(db::Connection& library, const std::string& archivePath, const std::string& password,
                             const std::vector<int>& items, ProgressRoutines& progress, bool cancellable,
                             std::int64_t pieceLength)
{
    // Under these keys the cipher keeps its zero tables: the content would be readable.
    if (password.empty() || password == TCryptography::kDefaultKey)
        throw ArchiveError(ArchiveError::Reason::RefusedPassword,
                           "This password would leave the archive unencrypted; please choose another one");
    // Pieces are cut between cipher blocks, so that each one is whole blocks of the stream.
    if (pieceLength < 0 || pieceLength % TBlowfish::kBlockSize != 0)
        throw std::invalid_argument("An archive piece length must be a whole number of cipher blocks");
    if (IsTemplateArchivePath(archivePath))
        throw ArchiveError(ArchiveError::Reason::RefusedTarget, kTemplateRefusedMessage);
    if (IsLibraryFile(archivePath))
        throw ArchiveError(ArchiveError::Reason::RefusedTarget,
                           "\"" + archivePath + "\" is a file of the library and cannot be overwritten");
    CheckItems(library, items);

    CopyArchiveTemplate(TemplateArchivePath(), archivePath);

    ExportResult result;
    ProgressScope hide(progress);
    // Made before the connection and so ended after it: its descriptor of the archive is
    // closed only once the engine holds no lock on the file.
    WriteBehind behind(archivePath);
    db::Connection archive(
        db::ConnectionString::Build(archivePath, db::kShareDenyNone, GetDatabasePassword()));
    archive.Open();
    {
        const TBlowfish cipher(password);

        progress.ShowProgress(kExportProgressTitle, !cancellable);
        progress.SetProgressTotal(kArchiveProgressText, static_cast<int>(items.size()));
        WriteCheckValue(archive, cipher);

        for (const int id : items) {
            if (cancellable && progress.ProgressCancelled()) {
                result.cancelled = true;
                break;
            }
            ExportItem(library, archive, behind, cipher, id, pieceLength, progress);
            ++result.exported;
        }
    }
    archive.Close();
    return result;
}

} // namespace velmora
