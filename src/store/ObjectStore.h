#pragma once

#include "store/Connection.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class Stream;
class TBlowfish;
class ProgressRoutines;

inline constexpr std::int64_t kChunkSize = 500000;          // plaintext bytes per chunk
inline constexpr std::int64_t kChunkCharge = 500000;        // space booked per chunk
inline constexpr std::int64_t kStoreCapacity = 1887436800;  // free space of a new store file
inline constexpr int kEndOfChain = -1;

// Number of chunks an item of size bytes occupies: at least one.
std::int64_t ChunkCount(std::int64_t size);

// The chunked, encrypted content of every item, spread over the store files. Every
// thread that touches content has its own instance (ForThisThread) with its own
// connections to the main database and to the store file in use.
class ObjectStore {
public:
    static ObjectStore& ForThisThread();

    ObjectStore() = default;
    ObjectStore(const ObjectStore&) = delete;
    ObjectStore& operator=(const ObjectStore&) = delete;

    // Books request bytes in the first store with room, making a new store file when
    // none has any; returns the store number. One transaction: concurrent writers
    // never book the same space twice, and a store file that cannot be made from the
    // template leaves no space row behind.
    int AllocateChunkSpace(std::int64_t request);

    // Writes the next chunk of source as chunk chunkNo of the item; see the loop in
    // StoreItemContent. Returns whether source has more bytes.
    bool WriteObjectChunk(Stream& source, int recordIdent, int& chunkNo, int& storeNo,
                          int& nextStoreNo);
    // Appends the chunk's plaintext (zero fill of the last block included) to stream.
    bool ReadObjectChunk(Stream& stream, int recordIdent, int& chunkNo, int& storeNo);
    // Re-encrypts a chunk from oldCipher to newCipher, marking it with newGeneration;
    // a chunk already of newGeneration is left as it is (a resumed change).
    bool ReencryptObjectChunk(const TBlowfish& oldCipher, const TBlowfish& newCipher,
                              int newGeneration, int recordIdent, int& chunkNo, int& storeNo);

    // Stores exactly size bytes of source (from its current position) as the content
    // of the item; returns the store of its first chunk. Fails when source ends early,
    // or when, its last byte read, it has changed (ConfirmUnchanged). A failure leaves
    // no booking ahead of a chunk; the chunks written are taken back by NewItem.
    int StoreItemContent(Stream& source, int recordIdent, std::int64_t size, ProgressRoutines* progress = nullptr);
    // Reads the whole item into stream; returns the number of plaintext bytes written,
    // exactly rec_size unless the chain is broken (then fewer).
    std::int64_t ReadItem(Stream& stream, int recordIdent);
    // Books each store's free space again from the chunks it holds, which puts right
    // bookings that a failure or a dead process left behind. Only when nothing is being
    // added or removed (checked inside the transaction, which keeps new adds and
    // removals from starting meanwhile): their bookings and credits run ahead of their
    // chunks. Writes only what is wrong; false when it could not run.
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
    // Closes both connections (a thread ends, or the data folder changed).
    void Close();

private:
    // The key a chunk of that generation is under, taken again from the library when
    // another process has changed the password since this one got its key.
    std::string PasswordForChunk(int generation);
    void CreateStoreFile(int storeNo);
    void Credit(int storeNo, std::int64_t amount);

    db::Connection m_main;
    db::Connection m_store;
    int m_openStore = 0;
    bool m_bookingsAdrift = false;
};

} // namespace velmora
