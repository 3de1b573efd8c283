#include "store/ObjectStore.h"

#include "dialogs/ProgressRoutines.h"
#include "store/Blowfish.h"
#include "store/DecryptionStream.h"
#include "store/EncryptionStream.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/PrivateFiles.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/Transaction.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace velmora {

namespace fs = std::filesystem;

namespace {

const char* const kChunkQuery = "Select * from recobject where ro_record = %d and ro_chunk=%d";

int ChunkGeneration(const db::Query& chunk)
{
    return chunk.HasField("ro_keygen") ? static_cast<int>(chunk.AsInteger("ro_keygen")) : 0;
}

// No chunk may be stored under a key that leaves it readable to anyone: the empty
// key and the cipher's default key build no tables at all.
void RequireUsableKey(const std::string& password)
{
    if (password.empty() || password == TCryptography::kDefaultKey)
        throw std::runtime_error("No library password is set: content cannot be stored");
}

} // namespace

std::int64_t ChunkCount(std::int64_t size)
{
    return std::max<std::int64_t>(1, size / kChunkSize + (size % kChunkSize != 0 ? 1 : 0));
}

ObjectStore& ObjectStore::ForThisThread()
{
    thread_local ObjectStore store;
    return store;
}

db::Connection& ObjectStore::MainConnection()
{
    const std::string wanted = LibraryConnectionString(0);
    if (m_main.Connected() && m_main.GetConnectionString() != wanted)
        m_main.Close();
    if (!m_main.Connected()) {
        m_main.SetConnectionString(wanted);
        m_main.Open();
    }
    return m_main;
}

db::Connection& ObjectStore::StoreConnection(int storeNo)
{
    const std::string wanted = LibraryConnectionString(storeNo);
    if (m_store.Connected() && m_openStore == storeNo && m_store.GetConnectionString() == wanted)
        return m_store;
    m_store.Close();
    m_openStore = 0;
    m_store.SetConnectionString(wanted);
    m_store.Open();
    m_openStore = storeNo;
    return m_store;
}

void ObjectStore::Close()
{
    m_store.Close();
    m_openStore = 0;
    m_main.Close();
}

int ObjectStore::AllocateChunkSpace(std::int64_t request)
{
    db::Connection& main = MainConnection();
    db::Transaction transaction(main);
    db::Query space(main, "Select * From [space] where st_num <> 0 order by st_num");
    int count = 0;
    int chosen = 0;
    for (; !space.Eof(); space.Next()) {
        ++count;
        if (space.AsInteger("st_freespace") > request) {
            chosen = count;
            break;
        }
    }
    if (chosen == 0) {
        chosen = count + 1;
        space.Append();
        space.SetInteger("st_num", chosen);
        space.SetInteger("st_freespace", kStoreCapacity);
        space.Post();
        // Made inside the transaction: if the copy fails the row is rolled back with it.
        CreateStoreFile(chosen);
    }
    space.Edit();
    space.SetInteger("st_freespace", space.AsInteger("st_freespace") - request);
    space.Post();
    transaction.Commit();
    return chosen;
}

void ObjectStore::CreateStoreFile(int storeNo)
{
    const fs::path templ = JoinPath(GetAppDir(), kStoreTemplateName);
    const fs::path target = JoinPath(GetDataDir(), StoreFileName(storeNo));
    const fs::path partial = target.string() + ".new";
    if (!fs::exists(templ))
        throw std::runtime_error("The store template \"" + templ.string() + "\" is missing");
    std::error_code error;
    ::unlink(partial.c_str());   // a file left by a copy that was cut short
    try {
        CopyToPrivateFile(templ.string(), partial.string());
    } catch (const std::exception& failure) {
        throw std::runtime_error("Cannot create the store file \"" + target.string() + "\": " + failure.what());
    }
    // A journal left by an earlier file of the same name must not be replayed into the new one.
    fs::remove(target.string() + "-wal", error);
    fs::remove(target.string() + "-shm", error);
    fs::rename(partial, target, error);
    if (error) {
        fs::remove(partial, error);
        throw std::runtime_error("Cannot create the store file \"" + target.string() + "\"");
    }
    // Noticed now rather than at the first read: the new store must open and hold recobject.
    db::Connection check(LibraryConnectionString(storeNo));
    check.Open();
    db::Query probe(check, "Select * from recobject where ro_record = 0");
}

bool ObjectStore::WriteObjectChunk(Stream& source, int recordIdent, int& chunkNo, int& storeNo,
                                   int& nextStoreNo)
{
    const LibraryKey key = CurrentLibraryKey();
    RequireUsableKey(key.password);
    // On failure nothing booked for this chunk or the next may stay charged: the
    // chunk's own booking (made here or by the call before) and the next one's.
    bool ownBooking = storeNo != kEndOfChain;
    bool nextBooking = false;
    try {
        if (storeNo == kEndOfChain) {
            storeNo = AllocateChunkSpace(kChunkCharge);
            ownBooking = true;
        }
        db::Connection& store = StoreConnection(storeNo);
        db::Query chunk(store, "Select * from recobject where ro_record = 0");
        chunk.Append();
        chunk.SetInteger("ro_record", recordIdent);
        chunk.SetInteger("ro_chunk", chunkNo);
        chunk.SetInteger("ro_nextstore", kEndOfChain);
        chunk.SetInteger("ro_keygen", key.generation);

        const std::int64_t remaining = source.Size() - source.Position();
        const bool more = remaining > kChunkSize;
        {
            auto blob = chunk.OpenWriteStream("ro_data");
            TBlowfish cipher(key.password);
            TEncryptionStream encryption(*blob, cipher);
            const std::int64_t count = std::min(remaining, kChunkSize);
            if (count > 0)
                encryption.CopyFrom(source, count);
        } // the encryption stream writes the last partial block as it is released
        nextStoreNo = kEndOfChain;
        if (more) {
            nextStoreNo = AllocateChunkSpace(kChunkCharge);
            nextBooking = true;
            chunk.SetInteger("ro_nextstore", nextStoreNo);
        }
        chunk.Post();
        ++chunkNo;
        return more;
    } catch (...) {
        try {
            if (ownBooking)
                Credit(storeNo, kChunkCharge);
            if (nextBooking)
                Credit(nextStoreNo, kChunkCharge);
        } catch (const std::exception&) {
            // The original failure is the one worth reporting.
        }
        nextStoreNo = kEndOfChain;
        throw;
    }
}

bool ObjectStore::ReadObjectChunk(Stream& stream, int recordIdent, int& chunkNo, int& storeNo)
{
    if (storeNo == kEndOfChain)
        return false;
    db::Connection& store = StoreConnection(storeNo);
    db::Query chunk(store, SqlFormat(kChunkQuery, recordIdent, chunkNo));
    if (chunk.Eof())
        return false;
    {
        auto blob = chunk.OpenReadStream("ro_data");
        TBlowfish cipher(CurrentLibraryKey().PasswordFor(ChunkGeneration(chunk)));
        TDecryptionStream decryption(*blob, cipher);
        stream.CopyFrom(decryption, 0);
    }
    ++chunkNo;
    storeNo = static_cast<int>(chunk.AsInteger("ro_nextstore"));
    return true;
}

bool ObjectStore::ReencryptObjectChunk(const TBlowfish& oldCipher, const TBlowfish& newCipher,
                                       int newGeneration, int recordIdent, int& chunkNo,
                                       int& storeNo)
{
    if (storeNo == kEndOfChain)
        return false;
    db::Connection& store = StoreConnection(storeNo);
    // Taken before the chunk is read, so that its rewrite cannot meet another
    // connection's commit in between.
    db::Transaction transaction(store);
    db::Query chunk(store, SqlFormat(kChunkQuery, recordIdent, chunkNo));
    if (chunk.Eof())
        return false;
    if (ChunkGeneration(chunk) != newGeneration) {
        MemoryStream plain;
        {
            auto blob = chunk.OpenReadStream("ro_data");
            TDecryptionStream decryption(*blob, oldCipher);
            plain.CopyFrom(decryption, 0);
        }
        plain.SetPosition(0);
        chunk.Edit();
        {
            auto blob = chunk.OpenWriteStream("ro_data");
            TEncryptionStream encryption(*blob, newCipher);
            if (plain.Size() > 0)
                encryption.CopyFrom(plain, 0);
        }
        // Content and its key generation change in one statement: a chunk is never
        // left under one key while marked with the other.
        chunk.SetInteger("ro_keygen", newGeneration);
        chunk.Post();
    }
    ++chunkNo;
    storeNo = static_cast<int>(chunk.AsInteger("ro_nextstore"));
    transaction.Commit();
    return true;
}

void ObjectStore::Credit(int storeNo, std::int64_t amount)
{
    db::Connection& main = MainConnection();
    db::Transaction transaction(main);
    db::Query space(main, SqlFormat("Select * From [space] where st_num =%d", storeNo));
    if (space.Eof())
        return;
    space.Edit();
    space.SetInteger("st_freespace", space.AsInteger("st_freespace") + amount);
    space.Post();
    transaction.Commit();
}

bool ObjectStore::FreeObjectChunk(int recordIdent, int& chunkNo, int& storeNo,
                                  ProgressRoutines& progress)
{
    if (storeNo == kEndOfChain)
        return false;
    MainConnection();
    db::Connection& store = StoreConnection(storeNo);
    try {
        Credit(storeNo, kChunkCharge);
    } catch (const std::exception&) {
        // A failed credit only leaves the store looking fuller than it is.
    }
    db::Transaction transaction(store);
    db::Query chunk(store, SqlFormat(kChunkQuery, recordIdent, chunkNo));
    if (chunk.Eof())
        return false;
    ++chunkNo;
    storeNo = static_cast<int>(chunk.AsInteger("ro_nextstore"));
    chunk.Delete();
    transaction.Commit();
    progress.StepItemProgress();
    return true;
}

void ObjectStore::StoreItemContent(Stream& source, int recordIdent, std::int64_t size,
                                   ProgressRoutines* progress)
{
    int storeNo = kEndOfChain;
    int chunkNo = 1;
    int nextStoreNo = kEndOfChain;
    int bookedAhead = kEndOfChain; // booked for a chunk whose write has not begun
    try {
        bool more = WriteObjectChunk(source, recordIdent, chunkNo, storeNo, nextStoreNo);
        bookedAhead = more ? nextStoreNo : kEndOfChain;
        {
            db::Connection& main = MainConnection();
            db::Transaction transaction(main);
            db::Query record(main, SqlFormat("Select * from Record where rec_ident = %d", recordIdent));
            if (record.Eof())
                throw std::runtime_error("The item being added has vanished from the library");
            record.Edit();
            record.SetInteger("rec_size", size);
            record.SetInteger("rec_objstore", storeNo);
            record.Post();
            transaction.Commit();
        }
        if (progress)
            progress->StepItemProgress();
        while (more) {
            storeNo = nextStoreNo;
            bookedAhead = kEndOfChain; // WriteObjectChunk answers for it from here on
            more = WriteObjectChunk(source, recordIdent, chunkNo, storeNo, nextStoreNo);
            bookedAhead = more ? nextStoreNo : kEndOfChain;
            if (progress)
                progress->StepItemProgress();
        }
    } catch (...) {
        try {
            if (bookedAhead != kEndOfChain)
                Credit(bookedAhead, kChunkCharge);
            DiscardItemContent(recordIdent);
        } catch (const std::exception&) {
            // Left for the recovery at the next open; the add's own failure is reported.
        }
        throw;
    }
}

std::int64_t ObjectStore::ReadItem(Stream& stream, int recordIdent)
{
    db::Connection& main = MainConnection();
    db::Query record(main, SqlFormat("Select rec_objstore, rec_size from Record where rec_ident = %d",
                                     recordIdent));
    if (record.Eof())
        throw std::runtime_error("There is no item " + std::to_string(recordIdent));
    int storeNo = static_cast<int>(record.AsInteger("rec_objstore"));
    const std::int64_t size = record.AsInteger("rec_size");
    int chunkNo = 1;
    // Each chunk is decrypted into a bounded buffer and cut to the item's true length,
    // so the zero fill of the last block never reaches the caller.
    std::int64_t written = 0;
    MemoryStream piece;
    while (written < size || chunkNo == 1) {
        piece.SetSize(0);
        piece.SetPosition(0);
        if (!ReadObjectChunk(piece, recordIdent, chunkNo, storeNo))
            break;
        const std::int64_t take = std::min(piece.Size(), size - written);
        if (take > 0) {
            piece.SetPosition(0);
            stream.CopyFrom(piece, take);
            written += take;
        }
        if (storeNo == kEndOfChain)
            break;
    }
    return written;
}

void ObjectStore::DiscardItemContent(int recordIdent)
{
    db::Connection& main = MainConnection();
    std::vector<int> stores;
    {
        db::Query space(main, "Select * From [space] where st_num <> 0 order by st_num");
        for (; !space.Eof(); space.Next())
            stores.push_back(static_cast<int>(space.AsInteger("st_num")));
    }
    for (int storeNo : stores) {
        if (!fs::exists(JoinPath(GetDataDir(), StoreFileName(storeNo))))
            continue;
        db::Connection& store = StoreConnection(storeNo);
        int removed = 0;
        {
            db::Transaction transaction(store);
            store.Execute(SqlFormat("Delete from recobject where ro_record = %d", recordIdent));
            removed = store.RowsAffected();
            transaction.Commit();
        }
        if (removed > 0)
            Credit(storeNo, kChunkCharge * removed);
    }
}

} // namespace velmora
