#include "store/ObjectStore.h"

#include "store/Blowfish.h"
#include "store/ChunkPipeline.h"
#include "store/ChunkTable.h"
#include "store/FileSync.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/PrivateFiles.h"
#include "store/Query.h"
#include "store/SpaceRecount.h"
#include "store/SqlText.h"
#include "store/StoredKey.h"
#include "store/Transaction.h"
#include "ui/ProgressRoutines.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// No chunk may be stored under a key that leaves it readable to anyone: the empty
// key and the cipher's default key build no tables at all.
void RequireUsableKey(const std::string& password)
{
    if (password.empty() || password == TCryptography::kDefaultKey)
        throw std::runtime_error("No library password is set: content cannot be stored");
}

std::int64_t WholeBlocks(std::int64_t bytes)
{
    return bytes / TBlowfish::kBlockSize * TBlowfish::kBlockSize;
}

// Completes the last block with zero bytes, as the cipher stream does.
void PadToBlock(PipelineChunk& chunk)
{
    const std::int64_t padded = WholeBlocks(chunk.length + TBlowfish::kBlockSize - 1);
    std::fill(chunk.bytes.Data() + chunk.length, chunk.bytes.Data() + padded, std::uint8_t{0});
    chunk.size = padded;
}

// The blocks of chunk bytes [from, to), both on block boundaries.
void Encrypt(const TCryptography& cipher, PipelineChunk& chunk, std::int64_t from, std::int64_t to)
{
    if (to > from)
        cipher.EncryptBlocks(chunk.bytes.Data() + from, static_cast<std::size_t>((to - from) / TBlowfish::kBlockSize));
}

void Decrypt(const TCryptography& cipher, PipelineChunk& chunk, std::int64_t from, std::int64_t to)
{
    if (to > from)
        cipher.DecryptBlocks(chunk.bytes.Data() + from, static_cast<std::size_t>((to - from) / TBlowfish::kBlockSize));
}

// The cipher is the costliest step of a transfer: its work on each chunk is cut in two
// halves, one stage each, so that two threads share it (each works on a neighbouring
// chunk). work(chunk, from, to) does the part [from, to) of chunk.size.
using CipherWork = std::function<void(PipelineChunk&, std::int64_t, std::int64_t)>;
std::vector<ChunkPipeline::Stage> InHalves(const CipherWork& work)
{
    auto middle = [](const PipelineChunk& chunk) { return WholeBlocks(chunk.size / 2); };
    return {[work, middle](PipelineChunk& chunk) { work(chunk, 0, middle(chunk)); },
            [work, middle](PipelineChunk& chunk) { work(chunk, middle(chunk), chunk.size); }};
}

// The ciphers of the key generations an item's chunks are under, made as they are
// met. Made by the step that reads the chunks; the others only use them.
class GenerationCiphers {
public:
    const TBlowfish& For(ObjectStore& store, int generation)
    {
        auto& cipher = m_ciphers[generation];
        if (!cipher)
            cipher = std::make_unique<TBlowfish>(store.PasswordForChunk(generation));
        return *cipher;
    }

private:
    std::map<int, std::unique_ptr<TBlowfish>> m_ciphers;
};

// The store a pipeline's step uses: this one on the thread that owns it, else the
// step's thread's own (connections are never passed between threads).
class SameThread {
public:
    explicit SameThread(ObjectStore& owner) : m_owner(owner), m_thread(std::this_thread::get_id()) {}
    ObjectStore& operator()() const
    {
        return std::this_thread::get_id() == m_thread ? m_owner : ObjectStore::ForThisThread();
    }

private:
    ObjectStore& m_owner;
    std::thread::id m_thread;
};

// The log of a store file being written is copied into the file (checkpointed) by the
// thread that reads the source, about every 1000 pages as the engine would, so that the
// copying and its syncs are off the writer's thread. The writer's own checkpoints then
// come only at four times that, to let the log start again from its beginning.
constexpr std::size_t kChunksPerCheckpoint = 32;
constexpr int kEnginePagesPerCheckpoint = 1000;
// Space is booked for this many chunks at a time (fewer at an item's end): a booking is
// a transaction of the main database, costlier than its few bytes suggest.
constexpr std::int64_t kChunksPerBooking = 8;
constexpr int kWriterPagesPerCheckpoint = 4 * kEnginePagesPerCheckpoint;

// While late, the store's log also keeps its length when it starts again from its
// beginning, instead of being cut back to the connection's limit: cutting 60 MB off
// the file and growing it again blocked the writer for 20 to 35 ms each time (about 9%
// of an import of 500 MB). It is never longer than between two checkpoints, as before;
// the limit is back once the add ends, and the next checkpoint cuts the log back.
void ApplyLateCheckpoints(sqlite3* store, bool late)
{
    sqlite3_wal_autocheckpoint(store, late ? kWriterPagesPerCheckpoint : kEnginePagesPerCheckpoint);
    sqlite3_exec(store, late ? "PRAGMA journal_size_limit = -1" : db::kJournalSizeLimit, nullptr, nullptr, nullptr);
}

// The writer's own checkpoints come late while an add runs, however it ends.
class LateCheckpoints {
public:
    explicit LateCheckpoints(ObjectStore& store) : m_store(store) { m_store.SetLateCheckpoints(true); }
    ~LateCheckpoints() { m_store.SetLateCheckpoints(false); }
    LateCheckpoints(const LateCheckpoints&) = delete;
    LateCheckpoints& operator=(const LateCheckpoints&) = delete;

private:
    ObjectStore& m_store;
};

// Transfers of more chunks than this run their steps side by side.
bool WorthThreads(std::int64_t size)
{
    return ChunkCount(size) > 1;
}

} // namespace

std::int64_t ChunkCount(std::int64_t size)
{
    return std::max<std::int64_t>(1, size / kChunkSize + (size % kChunkSize != 0 ? 1 : 0));
}

ObjectStore::ObjectStore() = default;

// The statements on the store connection go before it.
ObjectStore::~ObjectStore()
{
    Close();
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
    m_chunks.reset();
    m_store.Close();
    m_openStore = 0;
    m_store.SetConnectionString(wanted);
    m_store.Open();
    m_openStore = storeNo;
    if (m_lateCheckpoints)
        ApplyLateCheckpoints(m_store.Handle(), true);
    return m_store;
}

void ObjectStore::SetLateCheckpoints(bool late)
{
    m_lateCheckpoints = late;
    if (m_store.Connected())
        ApplyLateCheckpoints(m_store.Handle(), late);
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
    ClearSpaceRecount(main);
    transaction.Commit();
    m_bookingsAdrift = false;
    return true;
}

void ObjectStore::CheckpointStore(int storeNo)
{
    try {
        sqlite3_wal_checkpoint_v2(StoreConnection(storeNo).Handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                  nullptr);
    } catch (const std::exception&) {
        // The writer's own checkpoints still come.
    }
}

void ObjectStore::ReleaseJournalSpace()
{
    if (m_main.Connected())
        sqlite3_exec(m_main.Handle(), "PRAGMA wal_checkpoint(RESTART)", nullptr, nullptr, nullptr);
}

ChunkTable& ObjectStore::Chunks(int storeNo)
{
    db::Connection& store = StoreConnection(storeNo);
    if (!m_chunks)
        m_chunks = std::make_unique<ChunkTable>(store);
    return *m_chunks;
}

void ObjectStore::Close()
{
    m_chunks.reset();
    m_store.Close();
    m_openStore = 0;
    m_main.Close();
}

int ObjectStore::AllocateChunkSpace(std::int64_t request)
{
    return AllocateChunkSpace(request, 1).front();
}

std::vector<int> ObjectStore::AllocateChunkSpace(std::int64_t request, int count)
{
    db::Connection& main = MainConnection();
    db::Transaction transaction(main);
    struct Row {
        std::int64_t rowid;
        std::int64_t free;
        bool changed;
    };
    std::vector<Row> rows;   // in st_num order: row n is store n
    {
        db::Query space(main, "Select _rowid_ as id, st_freespace From [space] where st_num <> 0 order by st_num");
        for (; !space.Eof(); space.Next())
            rows.push_back({space.AsInteger("id"), space.AsInteger("st_freespace"), false});
    }
    std::vector<int> chosen;
    for (int i = 0; i < count; ++i) {
        auto row = std::find_if(rows.begin(), rows.end(), [request](const Row& r) { return r.free > request; });
        if (row == rows.end()) {
            const int storeNo = static_cast<int>(rows.size()) + 1;
            main.Execute(SqlFormat("Insert into [space] (st_num, st_freespace) values (%d, %lld)", storeNo,
                                   static_cast<long long>(kStoreCapacity)));
            rows.push_back({sqlite3_last_insert_rowid(main.Handle()), kStoreCapacity, false});
            // Made inside the transaction: if the copy fails the row is rolled back with it.
            CreateStoreFile(storeNo);
            row = rows.end() - 1;
        }
        row->free -= request;
        row->changed = true;
        chosen.push_back(static_cast<int>(row - rows.begin()) + 1);
    }
    for (const Row& row : rows)
        if (row.changed)
            main.Execute(SqlFormat("Update [space] set st_freespace = %lld where _rowid_ = %lld",
                                   static_cast<long long>(row.free), static_cast<long long>(row.rowid)));
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

void ObjectStore::WriteObjectChunk(const PipelineChunk& chunk, int recordIdent)
{
    Chunks(chunk.storeNo).Insert(recordIdent, chunk.number, chunk.nextStore, chunk.generation, chunk.bytes.Data(),
                                 chunk.size);
}

bool ObjectStore::ReadObjectChunk(PipelineChunk& chunk, int recordIdent, int& chunkNo, int& storeNo)
{
    if (storeNo == kEndOfChain)
        return false;
    const auto row = Chunks(storeNo).Read(recordIdent, chunkNo, chunk.bytes);
    if (!row)
        return false;
    // Bytes after the last whole block are not part of the cipher stream.
    chunk.size = WholeBlocks(row->length);
    chunk.length = chunk.size;
    chunk.number = chunkNo;
    chunk.storeNo = storeNo;
    chunk.nextStore = row->nextStore;
    chunk.generation = row->generation;
    chunk.rowid = row->rowid;
    chunk.last = row->nextStore == kEndOfChain;
    ++chunkNo;
    storeNo = row->nextStore;
    return true;
}

bool ObjectStore::ReadObjectChunk(Stream& stream, int recordIdent, int& chunkNo, int& storeNo)
{
    if (storeNo == kEndOfChain)
        return false;
    if (!m_scratch)
        m_scratch = std::make_unique<PipelineChunk>(kChunkSize);
    PipelineChunk& chunk = *m_scratch;
    if (!ReadObjectChunk(chunk, recordIdent, chunkNo, storeNo))
        return false;
    Decrypt(TBlowfish(PasswordForChunk(chunk.generation)), chunk, 0, chunk.size);
    stream.WriteBuffer(chunk.bytes.Data(), chunk.size);
    return true;
}

bool ObjectStore::ReencryptObjectChunk(const TBlowfish& oldCipher, const TBlowfish& newCipher,
                                       int newGeneration, int recordIdent, int& chunkNo, int& storeNo)
{
    if (storeNo == kEndOfChain)
        return false;
    db::Connection& store = StoreConnection(storeNo);
    // Taken before the chunk is read, so that its rewrite cannot meet another
    // connection's commit in between.
    db::Transaction transaction(store);
    if (!m_scratch)
        m_scratch = std::make_unique<PipelineChunk>(kChunkSize);
    PipelineChunk& chunk = *m_scratch;
    const int at = storeNo;
    if (!ReadObjectChunk(chunk, recordIdent, chunkNo, storeNo))
        return false;
    if (chunk.generation != newGeneration) {
        Decrypt(oldCipher, chunk, 0, chunk.size);
        Encrypt(newCipher, chunk, 0, chunk.size);
        // Content and its key generation change in one statement: a chunk is never
        // left under one key while marked with the other.
        Chunks(at).Rewrite({chunk.rowid, chunk.nextStore, chunk.generation, chunk.size}, recordIdent,
                           chunk.number, chunk.generation, newGeneration, chunk.bytes.Data(), chunk.size);
    }
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
    db::Statement credit(main.Handle(), "Update space set st_freespace = st_freespace + ? where st_num = ?",
                         main.DataSource());
    credit.BindInt64(1, amount);
    credit.BindInt64(2, storeNo);
    credit.Run();
    transaction.Commit();
}

int ObjectStore::StoreItemContent(Stream& source, int recordIdent, std::int64_t size, ProgressRoutines* progress,
                                  const TCryptography* encryptedWith, std::set<int>* unsynced)
{
    const LibraryKey key = CurrentLibraryKey();
    RequireUsableKey(key.password);
    const TBlowfish cipher(key.password);
    // Booked by the source step ahead of the chunks, written by the sink. Whatever is
    // booked and not written is credited again at the end.
    std::vector<int> booked;
    std::size_t made = 0;
    std::size_t written = 0;
    std::set<int> stores;
    std::int64_t taken = 0;

    // Chunks are cut from the size taken at the start, whatever the source does meanwhile.
    const ChunkPipeline::Source read = [&, self = SameThread(*this)](PipelineChunk& chunk) {
        if (taken == size && made > 0)
            return false;
        const std::int64_t count = std::min(kChunkSize, size - taken);
        // Ciphertext comes in whole blocks: the last one is needed whole to decrypt it.
        const std::int64_t wanted = encryptedWith ? WholeBlocks(count + TBlowfish::kBlockSize - 1) : count;
        auto* target = reinterpret_cast<char*>(chunk.bytes.Data());
        for (std::int64_t got = 0; got < wanted;) {
            const std::int64_t n = source.Read(target + got, wanted - got);
            if (n <= 0)
                throw StreamError("The source ended after " + std::to_string(taken + std::min(got, count)) +
                                  " of its " + std::to_string(size) + " bytes");
            got += n;
        }
        taken += count;
        chunk.length = count;
        chunk.last = taken == size;
        if (encryptedWith)
            chunk.size = wanted;   // zero-filled past the content once decrypted
        else
            PadToBlock(chunk);
        ObjectStore& store = self();
        const std::size_t number = ++made;
        if (number % kChunksPerCheckpoint == 0)
            store.CheckpointStore(booked[number - 2]);
        // Each chunk's space is booked once, in the store that receives it, before the
        // chunk ahead of it names that store; a few chunks at a time.
        const std::size_t needed = number + (chunk.last ? 0 : 1);
        if (booked.size() < needed) {
            const std::int64_t unbooked = ChunkCount(size) - static_cast<std::int64_t>(booked.size());
            const auto more = static_cast<int>(std::max<std::int64_t>(
                static_cast<std::int64_t>(needed - booked.size()), std::min(kChunksPerBooking, unbooked)));
            const std::vector<int> stores = store.AllocateChunkSpace(kChunkCharge, more);
            booked.insert(booked.end(), stores.begin(), stores.end());
        }
        chunk.number = static_cast<int>(number);
        chunk.storeNo = booked[number - 1];
        chunk.nextStore = chunk.last ? kEndOfChain : booked[number];
        chunk.generation = key.generation;
        return true;
    };
    const auto encrypt = InHalves([&cipher, encryptedWith](PipelineChunk& chunk, std::int64_t from, std::int64_t to) {
        if (encryptedWith) {
            Decrypt(*encryptedWith, chunk, from, to);
            // The source's fill of the last block is not content: it is stored as zeros.
            if (chunk.length < to)
                std::fill(chunk.bytes.Data() + std::max(from, chunk.length), chunk.bytes.Data() + to, std::uint8_t{0});
        }
        Encrypt(cipher, chunk, from, to);
    });
    const LateCheckpoints late(*this);
    const ChunkPipeline::Stage write = [&](PipelineChunk& chunk) {
        WriteObjectChunk(chunk, recordIdent);
        ++written;
        stores.insert(chunk.storeNo);
        if (progress)
            progress->StepItemProgress();
    };
    try {
        // An item of one chunk needs a buffer of its own size only.
        ChunkPipeline pipeline(WorthThreads(size) ? kChunkSize : WholeBlocks(size + TBlowfish::kBlockSize - 1));
        if (WorthThreads(size))
            pipeline.Run(read, encrypt, write);
        else
            pipeline.RunHere(read, encrypt, write);
        source.ConfirmUnchanged();
        if (unsynced)
            unsynced->insert(stores.begin(), stores.end());
        else
            SyncStoreFiles(stores);
    } catch (...) {
        try {
            for (std::size_t k = written; k < booked.size(); ++k)
                Credit(booked[k], kChunkCharge);
        } catch (const std::exception&) {
            m_bookingsAdrift = true;   // put right after the take-back; the add's own failure is reported
        }
        throw;
    }
    return booked.front();
}

std::int64_t ObjectStore::ReadItemContent(int recordIdent, int firstStore, std::int64_t size, const ContentSink& sink,
                                          const TCryptography* reencrypt)
{
    GenerationCiphers ciphers;
    // A row that never got its content names no store (0): there is nothing to read.
    int storeNo = firstStore > 0 ? firstStore : kEndOfChain;
    int chunkNo = 1;
    std::int64_t offset = 0;   // of the chunk in the item
    const ChunkPipeline::Source read = [&, self = SameThread(*this)](PipelineChunk& chunk) {
        ObjectStore& store = self();
        if (!store.ReadObjectChunk(chunk, recordIdent, chunkNo, storeNo))
            return false;
        chunk.cipher = &ciphers.For(store, chunk.generation);
        chunk.length = std::clamp<std::int64_t>(size - offset, 0, chunk.size);
        offset += chunk.size;
        return true;
    };
    const auto decrypt = InHalves([reencrypt](PipelineChunk& chunk, std::int64_t from, std::int64_t to) {
        Decrypt(*chunk.cipher, chunk, from, to);
        if (!reencrypt)
            return;
        // Only the item's own bytes, their last block completed with zeros, as an
        // encryption stream over the whole content writes them: every chunk before the
        // one that reaches the item's end is whole blocks.
        const std::int64_t padded = WholeBlocks(chunk.length + TBlowfish::kBlockSize - 1);
        const std::int64_t end = std::min(to, padded);
        if (end > from && chunk.length < end)
            std::fill(chunk.bytes.Data() + std::max(from, chunk.length), chunk.bytes.Data() + end, std::uint8_t{0});
        Encrypt(*reencrypt, chunk, from, end);
    });
    std::int64_t handed = 0;
    const ChunkPipeline::Stage hand = [&](PipelineChunk& chunk) {
        const std::int64_t count =
            reencrypt ? WholeBlocks(chunk.length + TBlowfish::kBlockSize - 1) : chunk.length;
        sink(chunk.bytes.Data(), count);
        handed += chunk.length;
    };
    ChunkPipeline pipeline(kChunkSize);
    if (WorthThreads(size))
        pipeline.Run(read, decrypt, hand);
    else
        pipeline.RunHere(read, decrypt, hand);
    return handed;
}

void ObjectStore::ReencryptItemContent(const TBlowfish& oldCipher, const TBlowfish& newCipher, int newGeneration,
                                       int recordIdent, int firstStore, std::int64_t size,
                                       const std::function<void()>& onChunk)
{
    int storeNo = firstStore > 0 ? firstStore : kEndOfChain;
    int chunkNo = 1;
    const ChunkPipeline::Source read = [&, self = SameThread(*this)](PipelineChunk& chunk) {
        return self().ReadObjectChunk(chunk, recordIdent, chunkNo, storeNo);
    };
    const auto rekey = InHalves([&](PipelineChunk& chunk, std::int64_t from, std::int64_t to) {
        if (chunk.generation == newGeneration)
            return;
        Decrypt(oldCipher, chunk, from, to);
        Encrypt(newCipher, chunk, from, to);
    });
    const ChunkPipeline::Stage rewrite = [&](PipelineChunk& chunk) {
        // Content and its key generation change in one statement; a chunk that is no
        // longer as it was read (taken away meanwhile) is left alone.
        if (chunk.generation != newGeneration)
            Chunks(chunk.storeNo).Rewrite({chunk.rowid, chunk.nextStore, chunk.generation, chunk.size}, recordIdent,
                                          chunk.number, chunk.generation, newGeneration, chunk.bytes.Data(),
                                          chunk.size);
        onChunk();
    };
    ChunkPipeline pipeline(kChunkSize);
    if (WorthThreads(size))
        pipeline.Run(read, rekey, rewrite);
    else
        pipeline.RunHere(read, rekey, rewrite);
}

std::int64_t ObjectStore::ReadItem(Stream& stream, int recordIdent)
{
    int firstStore = kEndOfChain;
    std::int64_t size = 0;
    {
        db::Query record(MainConnection(), SqlFormat("Select rec_objstore, rec_size from Record where rec_ident = %d",
                                                     recordIdent));
        if (record.Eof())
            throw std::runtime_error("There is no item " + std::to_string(recordIdent));
        firstStore = static_cast<int>(record.AsInteger("rec_objstore"));
        size = record.AsInteger("rec_size");
    }
    return ReadItemContent(recordIdent, firstStore, size, [&stream](std::uint8_t* bytes, std::int64_t count) {
        stream.WriteBuffer(bytes, count);
    });
}

void ObjectStore::SyncAllStoreFiles()
{
    std::set<int> stores;
    {
        db::Query space(MainConnection(), "Select st_num From [space] where st_num <> 0");
        for (; !space.Eof(); space.Next())
            stores.insert(static_cast<int>(space.AsInteger("st_num")));
    }
    SyncStoreFiles(stores);
}

void ObjectStore::SyncStoreFiles(const std::set<int>& stores, bool withFolder)
{
    for (const int storeNo : stores) {
        if (fs::exists(JoinPath(GetDataDir(), StoreFileName(storeNo))))
            SyncDatabaseFile(StoreConnection(storeNo));
    }
    // A store file made for these chunks is a new entry of the folder.
    if (withFolder)
        SyncFolder(GetDataDir());
}

} // namespace velmora
