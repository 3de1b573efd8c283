#include "archive/ArchiveExport.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveNames.h"
#include "archive/ArchiveTemplate.h"
#include "catalogue/ItemContent.h"
#include "store/ArchiveBlobStream.h"
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

// Everything that would stop the export half-way and can be known in advance: an item
// that is gone, or one whose row would be longer than one database record may be
// (SQLite's length limit; a value cannot be split over rows). Checked before the
// archive file is touched.
void CheckItems(db::Connection& library, const std::vector<int>& items)
{
    const std::int64_t limit = sqlite3_limit(library.Handle(), SQLITE_LIMIT_LENGTH, -1);
    for (const int id : items) {
        db::Query record(library, SqlFormat("Select rec_size, rec_tnorigname, "
                                            "coalesce(length(cast(rec_tnorigname as blob)), 0) + "
                                            "coalesce(length(cast(rec_description as blob)), 0) + "
                                            "coalesce(length(cast(rec_notes as blob)), 0) as text_bytes "
                                            "from Record where rec_ident = %d",
                                            id));
        if (record.Eof())
            throw std::runtime_error("There is no item " + std::to_string(id) + " in the library");
        const std::int64_t size = record.AsInteger("rec_size");
        const std::int64_t room = limit - kRowOverhead - record.AsInteger("text_bytes");
        if (RoundUpToBlock(size) > room)
            throw ArchiveError(ArchiveError::Reason::ItemTooLarge,
                               "\"" + record.AsString("rec_tnorigname") + "\" is too large for a transfer archive (" +
                                   std::to_string(size) + " bytes; an archive holds items of up to " +
                                   std::to_string(room / TBlowfish::kBlockSize * TBlowfish::kBlockSize) + " bytes)");
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

// The row's value as the export fills it, front to back. The pages behind the one being
// filled are final: the kernel is told to start writing them to the disk, so that the
// commit's sync has little left to wait for. The value's pages follow the file's pages
// of before the row, each holding a little less than a page of it, so value offset P
// lies at or beyond file offset start + P; a margin covers the pages the engine still
// holds in its cache.
class FilledValue : public Stream {
public:
    FilledValue(ArchiveBlobStream& blob, WriteBehind& behind, std::int64_t start)
        : m_blob(blob), m_behind(behind), m_start(start)
    {
    }
    std::int64_t Read(void* buffer, std::int64_t count) override { return m_blob.Read(buffer, count); }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        const std::int64_t written = m_blob.Write(buffer, count);
        m_behind.Reached(m_start + m_blob.Position() - kEngineCacheMargin);
        return written;
    }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override { return m_blob.Seek(offset, origin); }
    std::int64_t Size() override { return m_blob.Size(); }

private:
    static constexpr std::int64_t kEngineCacheMargin = 16 << 20;
    ArchiveBlobStream& m_blob;
    WriteBehind& m_behind;
    const std::int64_t m_start;
};

// One archive row per item, in one transaction: a row is in the archive whole or not
// at all. The value gets its final length up front (the cipher stream's length is
// rec_size rounded up to a block) and the content is encrypted straight into it.
void ExportItem(db::Connection& library, db::Connection& archive, WriteBehind& behind, const TBlowfish& cipher,
                int id, ProgressRoutines& progress)
{
    db::Query record(library, SqlFormat("Select * from record where rec_ident = %d", id));
    if (record.Eof())
        throw std::runtime_error("There is no item " + std::to_string(id) + " in the library");
    const std::int64_t size = record.AsInteger("rec_size");
    const std::string name = record.AsString("rec_tnorigname");
    progress.SetProgressItem(name, static_cast<int>(size / kChunkSize + 1));

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
    insert.BindInt64(6, RoundUpToBlock(size));
    const std::int64_t fileBefore = db::SingleInteger(archive.Handle(), "PRAGMA page_count", archive.DataSource()) *
                                    db::SingleInteger(archive.Handle(), "PRAGMA page_size", archive.DataSource());
    insert.Run();
    const std::int64_t rowid = sqlite3_last_insert_rowid(archive.Handle());
    {
        ArchiveBlobStream blob(archive.Handle(), "record", "rec_object", rowid, archive.DataSource());
        FilledValue value(blob, behind, fileBefore);
        ReadItemEncrypted(library, id, cipher, value, progress);
        if (blob.Position() != blob.Size())
            throw std::runtime_error("The content of \"" + name + "\" is shorter than its size");
        blob.Close();
    }
    writing.Commit();
    progress.StepProgress();
}

} // namespace

ExportResult ExportToArchive(db::Connection& library, const std::string& archivePath, const std::string& password,
                             const std::vector<int>& items, ProgressRoutines& progress, bool cancellable)
{
    // Under these keys the cipher keeps its zero tables: the content would be readable.
    if (password.empty() || password == TCryptography::kDefaultKey)
        throw ArchiveError(ArchiveError::Reason::RefusedPassword,
                           "This password would leave the archive unencrypted; please choose another one");
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
            ExportItem(library, archive, behind, cipher, id, progress);
            ++result.exported;
        }
    }
    archive.Close();
    return result;
}

} // namespace velmora
