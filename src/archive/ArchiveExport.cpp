#include "archive/ArchiveExport.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveNames.h"
#include "archive/ArchiveTemplate.h"
#include "catalogue/ItemContent.h"
#include "dialogs/ProgressRoutines.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Cryptography.h"
#include "store/EncryptionStream.h"
#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <stdexcept>

namespace velmora {

namespace {

db::Date Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    return sys_days(year(local.tm_year + 1900) / month(static_cast<unsigned>(local.tm_mon + 1)) /
                    day(static_cast<unsigned>(local.tm_mday)));
}

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

void WriteCheckValue(db::Connection& archive, const TBlowfish& cipher)
{
    db::Query options(archive, "select * from Options");
    if (options.Eof())
        options.Append();
    else
        options.Edit();
    options.SetString("opt_pass", CheckValueFor(cipher));
    options.Post();
}

void ExportItem(db::Connection& library, db::Query& archiveRecords, const TBlowfish& cipher, int id,
                ProgressRoutines& progress)
{
    archiveRecords.Append();
    db::Query record(library, SqlFormat("Select * from record where rec_ident = %d", id));
    if (record.Eof())
        throw std::runtime_error("There is no item " + std::to_string(id) + " in the library");
    const std::int64_t size = record.AsInteger("rec_size");
    progress.SetProgressItem(record.AsString("rec_tnorigname"), static_cast<int>(size / kChunkSize + 1));

    for (const char* column : {"rec_size", "rec_tnorigname", "rec_description", "rec_notes"}) {
        if (record.IsNull(column))
            archiveRecords.SetNull(column);
        else if (std::string_view(column) == "rec_size")
            archiveRecords.SetInteger(column, size);
        else
            archiveRecords.SetString(column, record.AsString(column));
    }
    archiveRecords.SetDate("rec_date_added", Today());
    {
        std::unique_ptr<Stream> blob = archiveRecords.OpenWriteStream("rec_object");
        TEncryptionStream encrypt(*blob, cipher);
        ReadItemToStream(library, id, encrypt, progress);
        // Raises where the destructor would have to keep quiet about a lost last block.
        encrypt.Finish();
    }
    archiveRecords.Post();
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
    CheckItems(library, items);

    CopyArchiveTemplate(TemplateArchivePath(), archivePath);

    ExportResult result;
    ProgressScope hide(progress);
    db::Connection archive(
        db::ConnectionString::Build(archivePath, db::kShareDenyNone, GetDatabasePassword()));
    archive.Open();
    {
        db::Query archiveRecords(archive, "Select * From record");
        const TBlowfish cipher(password);

        progress.ShowProgress(kExportProgressTitle, !cancellable);
        progress.SetProgressTotal(kArchiveProgressText, static_cast<int>(items.size()));
        WriteCheckValue(archive, cipher);

        for (const int id : items) {
            if (cancellable && progress.ProgressCancelled()) {
                result.cancelled = true;
                break;
            }
            ExportItem(library, archiveRecords, cipher, id, progress);
            ++result.exported;
        }
    }
    archive.Close();
    return result;
}

} // namespace velmora
