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
#include "store/StoredKey.h"
#include "store/Transaction.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

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

// Exactly size bytes of a source, from its position when made: chunks are cut from
// the size taken at the start, whatever the source does meanwhile.
class SizedSource final : public Stream {
public:
    SizedSource(Stream& source, std::int64_t size) : m_source(source), m_size(size) {}

    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        const std::int64_t wanted = std::min(count, m_size - m_read);
        auto* target = static_cast<char*>(buffer);
        std::int64_t got = 0;
        while (got < wanted) {
            const std::int64_t n = m_source.Read(target + got, wanted - got);
            if (n <= 0)
                throw StreamError("The source ended after " + std::to_string(m_read + got) + " of its " +
                                  std::to_string(m_size) + " bytes");
            got += n;
        }
        m_read += got;
        return got;
    }
    std::int64_t Write(const void*, std::int64_t) override { throw StreamError("An add's source is not written"); }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override
    {
        if (origin == SeekOrigin::Beginning && offset == m_read)
            return m_read;
        if (offset != 0 || origin == SeekOrigin::Beginning)
            throw StreamError("An add's source is read from start to end");
        return origin == SeekOrigin::End ? m_size : m_read;
    }
    std::int64_t Size() override { return m_size; }

private:
    Stream& m_source;
    std::int64_t m_size;
    std::int64_t m_read = 0;
};

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

bool ObjectStore::RebookSpaceWhenIdle()
{
    db::Connection& main = MainConnection();
    db::Transaction transaction(main);
    {
        db::Query busy(main, "Select (Select count(*) from pendingadd) + (Select count(*) from pendingdelete) as n");
        if (busy.AsInteger("n") != 0)
            return false;
    }
    std::vector<std::pair<int, std::int64_t>> stores;
    {
        db::Query space(main, "Select st_num, st_freespace From [space] where st_num <> 0 order by st_num");
        for (; !space.Eof(); space.Next())
            stores.emplace_back(static_cast<int>(space.AsInteger("st_num")), space.AsInteger("st_freespace"));
    }
    for (const auto& [storeNo, booked] : stores) {
        if (!fs::exists(JoinPath(GetDataDir(), StoreFileName(storeNo))))
            continue;
        std::int64_t chunks = 0;
        {
            db::Query count(StoreConnection(storeNo), "Select count(*) as n from recobject");
            chunks = count.AsInteger("n");
        }
        const std::int64_t right = kStoreCapacity - kChunkCharge * chunks;
        if (booked != right)
            main.Execute(SqlFormat("Update [space] set st_freespace = %lld where st_num = %d",
                                   static_cast<long long>(right), storeNo));
    }
    transaction.Commit();
    m_bookingsAdrift = false;
    return true;
}

void ObjectStore::ReleaseJournalSpace()
{
    if (m_main.Connected())
        sqlite3_exec(m_main.Handle(), "PRAGMA wal_checkpoint(RESTART)", nullptr, nullptr, nullptr);
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
            m_bookingsAdrift = true;   // the original failure is the one worth reporting
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
        TBlowfish cipher(PasswordForChunk(ChunkGeneration(chunk)));
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

std::string ObjectStore::PasswordForChunk(int generation)
{
    if (!CurrentLibraryKey().Knows(generation))
        RefreshLibraryKey(MainConnection());
    return CurrentLibraryKey().PasswordFor(generation);
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

int ObjectStore::StoreItemContent(Stream& source, int recordIdent, std::int64_t size, ProgressRoutines* progress)
{
    SizedSource exact(source, size);
    int storeNo = kEndOfChain;
    int firstStore = kEndOfChain;
    int chunkNo = 1;
    int nextStoreNo = kEndOfChain;
    int bookedAhead = kEndOfChain; // booked for a chunk whose write has not begun
    try {
        bool more = true;
        while (more) {
            bookedAhead = kEndOfChain; // WriteObjectChunk answers for it from here on
            more = WriteObjectChunk(exact, recordIdent, chunkNo, storeNo, nextStoreNo);
            bookedAhead = more ? nextStoreNo : kEndOfChain;
            if (firstStore == kEndOfChain)
                firstStore = storeNo;
            storeNo = nextStoreNo;
            if (progress)
                progress->StepItemProgress();
        }
        source.ConfirmUnchanged();
    } catch (...) {
        try {
            if (bookedAhead != kEndOfChain)
                Credit(bookedAhead, kChunkCharge);
        } catch (const std::exception&) {
            m_bookingsAdrift = true;   // put right after the take-back; the add's own failure is reported
        }
        throw;
    }
    return firstStore;
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

} // namespace velmora
