#pragma once

#include "store/Connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora {

class ChunkTable;
class ProgressRoutines;
class Stream;
class TBlowfish;
class TCryptography;
struct PipelineChunk;

inline constexpr std::int64_t kChunkSize = 500000;          // plaintext bytes per chunk
inline constexpr std::int64_t kChunkCharge = 500000;        // space booked per chunk
inline constexpr std::int64_t kStoreCapacity = 1887436800;  // free space of a new store file
inline constexpr int kEndOfChain = -1;

// Number of chunks an item of size bytes occupies: at least one.
std::int64_t ChunkCount(std::int64_t size);

// Takes the bytes of one chunk of an item's content, in order; they are the taker's to
// change (a filter may work on them in place). Called once per chunk, with 0 bytes for
// a chunk past the item's length.
using ContentSink = std::function<void(std::uint8_t* bytes, std::int64_t count)>;

// The chunked, encrypted content of every item, spread over the store files. Every
// thread that touches content has its own instance (ForThisThread) with its own
// connections to the main database and to the store file in use.
class ObjectStore {
public:
    static ObjectStore& ForThisThread();

    ObjectStore();
    ~ObjectStore();
    ObjectStore(const ObjectStore&) = delete;
    ObjectStore& operator=(const ObjectStore&) = delete;

    // Books request bytes in the first store with room, making a new store file when
    // none has any; returns the store number. One transaction: concurrent writers
    // never book the same space twice, and a store file that cannot be made from the
    // template leaves no space row behind.
    int AllocateChunkSpace(std::int64_t request);
    // Books count requests, one after the other as AllocateChunkSpace would, in one
    // transaction; returns their stores in order.
    std::vector<int> AllocateChunkSpace(std::int64_t request, int count);

    // Writes one chunk of the item, encrypted under its key generation, as chunk
    // number of it in the store booked for it, naming the store booked for the next
    // one (or -1). Its space is booked beforehand (AllocateChunkSpace), once per chunk,
    // in the store that receives it: see StoreItemContent.
    void WriteObjectChunk(const PipelineChunk& chunk, int recordIdent);
    // Reads chunk chunkNo of the item from store storeNo into chunk: its ciphertext
    // (whole blocks of it), its row, its key generation and its successor. False,
    // changing nothing, when storeNo is -1 or there is no such chunk; else chunkNo is one
    // higher and storeNo the next chunk's store.
    bool ReadObjectChunk(PipelineChunk& chunk, int recordIdent, int& chunkNo, int& storeNo);
    // Appends the chunk's plaintext (zero fill of the last block included) to stream.
    bool ReadObjectChunk(Stream& stream, int recordIdent, int& chunkNo, int& storeNo);
    // Re-encrypts a chunk from oldCipher to newCipher, marking it with newGeneration;
    // a chunk already of newGeneration is left as it is (a resumed change).
    bool ReencryptObjectChunk(const TBlowfish& oldCipher, const TBlowfish& newCipher,
                              int newGeneration, int recordIdent, int& chunkNo, int& storeNo);

    // Stores exactly size bytes of source (from its current position) as the content
    // of the item; returns the store of its first chunk. Reading the source and booking
    // space, the cipher, and the writing of the chunks run side by side (ChunkPipeline),
    // the writing on this thread, which steps the item bar once per chunk written.
    // Fails when source ends early, or when, its last byte read, it has changed
    // (ConfirmUnchanged). Once it returns, every chunk is on the disk, unless the caller
    // takes that on: with unsynced, the stores written are added to it instead, to be
    // synced (SyncStoreFiles) before anything names the chunks. A failure leaves no
    // booking ahead of a chunk; the chunks written are taken back by the add.
    // With encryptedWith, source holds the content encrypted under that cipher, its last
    // block completed (as an encryption stream writes it): each chunk is decrypted on the
    // cipher's threads, beside its encryption under the library key.
    int StoreItemContent(Stream& source, int recordIdent, std::int64_t size, ProgressRoutines* progress = nullptr,
                         const TCryptography* encryptedWith = nullptr, std::set<int>* unsynced = nullptr);
    // Reads the item's content from its first store along the chain, decrypted, and
    // hands it to sink on this thread chunk by chunk, cut to size (the zero fill of the
    // last block, or padding stored with an imported item, never reaches it); the
    // chunks after it are read and decrypted meanwhile on threads of their own. Stops at
    // the end of the chain or where it breaks; returns the content bytes handed over.
    // With reencrypt, the sink gets the content encrypted under it instead, as an
    // encryption stream writes it (the last block completed with zeros).
    std::int64_t ReadItemContent(int recordIdent, int firstStore, std::int64_t size, const ContentSink& sink,
                                 const TCryptography* reencrypt = nullptr);
    // Re-encrypts every chunk of the item (of size bytes) from oldCipher to newCipher
    // under newGeneration (chunks already of it are left as they are), the reading and
    // the cipher running beside the rewriting; onChunk is called on this thread after each.
    void ReencryptItemContent(const TBlowfish& oldCipher, const TBlowfish& newCipher, int newGeneration,
                              int recordIdent, int firstStore, std::int64_t size,
                              const std::function<void()>& onChunk);
    // Reads the whole item into stream; returns the number of plaintext bytes written,
    // exactly rec_size unless the chain is broken (then fewer).
    std::int64_t ReadItem(Stream& stream, int recordIdent);
    // Forces what the given store files of the library hold to the disk, or all of
    // them: content that a commit in the main database is about to name. With
    // withFolder, the folder's entries too: a store file may have been made for it.
    void SyncStoreFiles(const std::set<int>& stores, bool withFolder = true);
    void SyncAllStoreFiles();
    // Books each store's free space again from the chunks it holds, which puts right
    // bookings that a failure or a dead process left behind. Only when nothing is being
    // added or removed (checked inside the transaction, which keeps new adds and
    // removals from starting meanwhile): their bookings and credits run ahead of their
    // chunks. Writes only what is wrong, and clears a recorded need for the count
    // (SpaceRecount.h); false when it could not run.
    bool RebookSpaceWhenIdle();
    // Whether a failed add on this thread could not give back a booking (the disk was
    // full, say); RebookSpaceWhenIdle puts it right.
    bool BookingsAdrift() const { return m_bookingsAdrift; }

    db::Connection& MainConnection();
    db::Connection& StoreConnection(int storeNo);
    // Checkpoints the main database's journal so that the next transaction writes it
    // from its start again, into room it has already: on a full disk the bookkeeping
    // of a take-back then needs no new space. (A store's journal is left alone: its
    // checkpoint would take the last free space to grow the store file.) Failures are
    // ignored: it is an attempt.
    void ReleaseJournalSpace();
    // While late, the store connection's own checkpoints come at four times the
    // engine's interval: another thread does them meanwhile (CheckpointStore).
    void SetLateCheckpoints(bool late);
    // Copies what the store file's log holds into the file, on this thread's own
    // connection to it, without waiting: while another connection writes the store, so
    // that the copying is off its thread. Failures are ignored: it is an attempt.
    void CheckpointStore(int storeNo);
    // Closes both connections (a thread ends, or the data folder changed).
    void Close();

    // The key a chunk of that generation is under, taken again from the library when
    // another process has changed the password since this one got its key.
    std::string PasswordForChunk(int generation);

private:
    void CreateStoreFile(int storeNo);
    void Credit(int storeNo, std::int64_t amount);
    ChunkTable& Chunks(int storeNo);

    db::Connection m_main;
    db::Connection m_store;
    int m_openStore = 0;
    std::unique_ptr<ChunkTable> m_chunks;   // on m_store
    std::unique_ptr<PipelineChunk> m_scratch;
    bool m_bookingsAdrift = false;
    bool m_lateCheckpoints = false;
};

} // namespace velmora
