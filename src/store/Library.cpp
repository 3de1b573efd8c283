#include "store/Library.h"

#include "store/Base64.h"
#include "store/ContentLock.h"
#include "store/DatabaseError.h"
#include "store/ItemRemoval.h"
#include "store/NewItem.h"
#include "store/FileSync.h"
#include "store/SpaceRecount.h"
#include "store/SpaceReserve.h"
#include "store/StoredKey.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"
#include "store/RecoveryCopy.h"
#include "store/PasswordPolicy.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/ThumbnailCache.h"
#include "store/TableRow.h"
#include "store/Transaction.h"
#include "ui/ProgressRoutines.h"

#include <optional>

namespace velmora {

namespace {

bool PassesBase64Check(const std::string& candidate, const std::string& base64)
{
    try {
        return PassesCheckTest(candidate, Base64ToStr(base64));
    } catch (const std::exception&) {
        return false;
    }
}

// Tables a library made by an earlier version lacks. Nothing is written when they are
// there, so a library on a full disk still opens.
void AddMissingTables(db::Connection& main)
{
    db::Query journal(main, "Select count(*) as n from sqlite_master where type = 'table' and name = 'pendingdelete'");
    if (journal.AsInteger("n") != 0)
        return;
    main.Execute("CREATE TABLE pendingdelete ("
                 "pd_record INTEGER PRIMARY KEY, pd_step INTEGER NOT NULL DEFAULT 0, "
                 "pd_freedchunk INTEGER NOT NULL DEFAULT 0, pd_freedstore INTEGER NOT NULL DEFAULT -1, "
                 "pd_wipe INTEGER NOT NULL DEFAULT 1, pd_size INTEGER NOT NULL DEFAULT 0, pd_description TEXT)");
}

std::string Postponed(const std::string& what, const std::exception& reason)
{
    return what + " has to wait until there is more free space: " + reason.what();
}

} // namespace

Library::Library() = default;
Library::~Library() = default;

void Library::Open()
{
    m_mainConn.SetConnectionString(LibraryConnectionString(0));
    m_mainConn.Open();
    try {
        AddMissingTables(m_mainConn);
    } catch (const db::DiskFull&) {
        // Reading does not need the table; whatever would write to it says so in turn.
    }
    try {
        AddThumbnailTable(m_mainConn);
        DropStaleThumbnails(m_mainConn);
    } catch (const db::DatabaseError&) {
        // Without the table (a full disk, a read-only file) thumbnails are made each time
        // and not kept.
    }
    try {
        AddRecoveryCopyColumn(m_mainConn);
    } catch (const std::exception&) {
        // A library that cannot be written still opens: without the column the copy is
        // kept, as before the switch existed.
    }
    KeepSpaceReserve();
}

RecoveryReport Library::RecoverInterruptedWork(ProgressRoutines& progress)
{
    RecoveryReport report;
    ObjectStore& store = ObjectStore::ForThisThread();
    try {
        WithJournalRoom(store, [&] { report.addsTakenBack = RecoverInterruptedAdds(store); });
    } catch (const db::DiskFull& full) {
        report.postponed.push_back(Postponed("Taking back an add that did not complete", full));
    }
    try {
        WithJournalRoom(store, [&] {
            report.deletesFinished = FinishInterruptedRemovals(store.MainConnection(), store, progress);
        });
    } catch (const db::DiskFull& full) {
        report.postponed.push_back(Postponed("Finishing an interrupted delete", full));
    }
    // Recorded before that work began; waits while another process adds or deletes.
    try {
        WithJournalRoom(store, [&] {
            if (SpaceRecountPending(store.MainConnection()))
                store.RebookSpaceWhenIdle();
        });
    } catch (const db::DiskFull&) {
        // Only the bookkeeping of free space waits, still recorded for the next opening.
    }
    if (!CurrentLibraryKey().password.empty()) {
        try {
            report.passwordChangeFinished = FinishPasswordChange(progress);
        } catch (const db::DiskFull& full) {
            report.postponed.push_back(Postponed("Finishing the interrupted password change", full));
        }
    }
    return report;
}

void Library::Accept(const std::string& password, int generation)
{
    m_cipher = std::make_unique<TBlowfish>(password);
    SetLibraryPassword(password, generation);
}

bool Library::VerifyPassword(const std::string& candidate, bool base64)
{
    // The first password is written into the row read here.
    db::Transaction transaction(m_mainConn);
    db::Query options(m_mainConn, "Select _rowid_ as options_row, * from options");
    if (options.Eof())
        throw std::runtime_error("The library has no options row");
    const int generation = static_cast<int>(options.AsInteger("opt_keygen"));
    const std::string stored = options.AsString("opt_pass");
    m_caption = options.AsString("opt_caption");

    if (stored.empty()) {
        if (auto refusal = PasswordRefusal(candidate))
            throw PasswordRefused(*refusal);
        db::TableRow change("options");
        change.Set("opt_pass", CheckValueFor(candidate));
        StoreRecoveryCopy(options, change, candidate);
        change.Update(m_mainConn, "_rowid_ = ?", {options.AsInteger("options_row")});
        transaction.Commit();
        Accept(candidate, generation);
        return true;
    }

    std::string checkBytes = stored;
    if (base64) {
        try {
            checkBytes = Base64ToStr(stored);
        } catch (const std::exception&) {
            checkBytes = stored;   // an older library keeps the cipher bytes themselves
        }
    }
    const bool isCurrent = PassesCheckTest(candidate, checkBytes);
    const std::optional<PendingChange> change = ReadPendingChange(m_mainConn);
    if (isCurrent && !change) {
        Accept(candidate, generation);
        return true;
    }
    if (!change)
        return false;

    // An interrupted password change: either password opens the library, and both
    // stay live until the change is finished.
    LibraryKey key;
    key.changing = true;
    key.generation = change->generation;
    key.previousGeneration = generation;
    if (isCurrent) {
        key.previousPassword = candidate;
        key.password = Unsealed(candidate, change->newUnderOld);
    } else if (PassesBase64Check(candidate, change->newCheck)) {
        key.password = candidate;
        key.previousPassword = Unsealed(candidate, change->oldUnderNew);
    } else {
        return false;
    }
    m_cipher = std::make_unique<TBlowfish>(key.password);
    SetLibraryKey(std::move(key));
    return true;
}

bool Library::HasPassword()
{
    db::Query options(m_mainConn, "Select opt_pass from options");
    if (options.Eof())
        throw std::runtime_error("The library has no options row");
    return !options.AsString("opt_pass").empty();
}

bool Library::LoadStoredPassword()
{
    try {
        if (!m_mainConn.Connected())
            Open();
        StoredKey stored = ReadStoredKey(m_mainConn);
        m_caption = stored.caption;
        m_cipher = std::make_unique<TBlowfish>(stored.key.password);
        SetLibraryKey(std::move(stored.key));
        return stored.passes;
    } catch (const std::exception&) {
        return false;
    }
}

bool Library::PasswordChangePending() const
{
    return CurrentLibraryKey().changing;
}

void Library::ChangePassword(const std::string& newPassword, ProgressRoutines& progress)
{
    if (auto refusal = PasswordRefusal(newPassword))
        throw PasswordRefused(*refusal);
    const ChangeLock exclusive;
    // Another process may have changed the password, or left a change unfinished,
    // since this one got its key.
    RefreshLibraryKey(m_mainConn);
    if (CurrentLibraryKey().changing)
        RunReencryption(progress);
    const LibraryKey current = CurrentLibraryKey();
    if (current.password.empty())
        throw std::runtime_error("The library password is not known");

    LibraryKey next{newPassword, current.generation + 1, true, current.password, current.generation};
    {
        db::Transaction transaction(m_mainConn);
        m_mainConn.Execute("Delete from keychange");
        db::TableRow change("keychange");
        change.Set("kc_generation", next.generation)
            .Set("kc_newpass", Sealed(current.password, newPassword))
            .Set("kc_oldpass", Sealed(newPassword, current.password))
            .Set("kc_check", CheckValueFor(newPassword));
        change.Insert(m_mainConn);
        // The cached thumbnails move to the new key with the change's record: from this
        // commit on none is readable under the old password, whatever happens next.
        ReencryptThumbnails(m_mainConn, current.password, current.generation, newPassword, next.generation);
        transaction.Commit();
    }
    m_cipher = std::make_unique<TBlowfish>(newPassword);
    SetLibraryKey(std::move(next));
    RunReencryption(progress);
}

bool Library::FinishPasswordChange(ProgressRoutines& progress)
{
    if (!PasswordChangePending() && !ReadPendingChange(m_mainConn))
        return false;
    const ChangeLock exclusive;
    // Perhaps finished by another process meanwhile, or begun by one since this
    // process got its key.
    RefreshLibraryKey(m_mainConn);
    if (!PasswordChangePending())
        return false;
    RunReencryption(progress);
    return true;
}

void Library::RunReencryption(ProgressRoutines& progress)
{
    // The change's record is on the disk before the first chunk under the new key can
    // be: a power cut must never leave such chunks in a library that knows no change.
    SyncDatabaseFile(m_mainConn);
    const LibraryKey key = CurrentLibraryKey();
    const TBlowfish oldCipher(key.previousPassword);
    m_cipher = std::make_unique<TBlowfish>(key.password);
    {
        ProgressScope scope(progress);
        db::Query items(m_mainConn, "Select rec_ident, rec_tnorigname, rec_size from Record");
        progress.ShowProgress("Re-Encrypting", true);
        progress.SetProgressTotal("Re-encrypting database contents, please wait.", items.RecordCount());
        for (; !items.Eof(); items.Next()) {
            progress.SetProgressItem(items.AsString("rec_tnorigname"),
                                     static_cast<int>(items.AsInteger("rec_size") / kChunkSize + 1));
            ReencryptItem(static_cast<int>(items.AsInteger("rec_ident")), oldCipher, progress);
            progress.StepProgress();
        }
    }
    // Only now, with every chunk under the new key and on the disk, do the check values
    // name it: once they do, the old key is forgotten.
    ObjectStore::ForThisThread().SyncAllStoreFiles();
    db::Transaction transaction(m_mainConn);
    {
        db::Query options(m_mainConn, "Select _rowid_ as options_row, * from options");
        if (options.Eof())
            throw std::runtime_error("The library has no options row");
        db::TableRow change("options");
        change.Set("opt_pass", CheckValueFor(key.password));
        StoreRecoveryCopy(options, change, key.password);
        change.Set("opt_keygen", key.generation);
        change.Update(m_mainConn, "_rowid_ = ?", {options.AsInteger("options_row")});
    }
    m_mainConn.Execute("Delete from keychange");
    // Any thumbnail that did not move with the change (kept by a program that knows no
    // cache) would outlive the key it is under.
    DropThumbnailsNotUnder(m_mainConn, key.generation);
    transaction.Commit();
    // Done only once the old password no longer opens the library after a power cut.
    SyncDatabaseFile(m_mainConn);
    SetLibraryPassword(key.password, key.generation);
}

void Library::ReencryptItem(int recordIdent, const TBlowfish& oldCipher, ProgressRoutines& progress)
{
    int storeNo = kEndOfChain;
    std::int64_t size = 0;
    {
        db::Query record(m_mainConn,
                         "Select rec_ident, rec_tnorigname, rec_objstore, rec_size from Record where rec_ident = " +
                             std::to_string(recordIdent));
        if (record.Eof())
            return;
        storeNo = static_cast<int>(record.AsInteger("rec_objstore"));
        size = record.AsInteger("rec_size");
    }
    const int generation = CurrentLibraryKey().generation;
    ObjectStore::ForThisThread().ReencryptItemContent(oldCipher, *m_cipher, generation, recordIdent, storeNo, size,
                                                      [&progress] { progress.StepItemProgress(); });
}

} // namespace velmora
