#pragma once

#include "store/ChunkBuffer.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace velmora {

class TCryptography;

// One chunk on its way through a pipeline: its bytes, and what the steps tell each
// other about it.
struct PipelineChunk {
    explicit PipelineChunk(std::int64_t capacity) : bytes(capacity) {}

    ChunkBuffer bytes;
    std::int64_t size = 0;        // bytes held: whole cipher blocks once padded
    std::int64_t length = 0;      // of them, the content (the last block's zero fill not counted)
    int number = 0;               // the chunk's number in its item, from 1
    int storeNo = 0;              // the store file it is in
    int nextStore = 0;            // the store file of the chunk after it
    int generation = 0;           // the key generation it is under
    std::int64_t rowid = 0;       // its row there
    const TCryptography* cipher = nullptr;   // the key it is to be decrypted with
    bool last = false;            // no chunk follows it
};

// A long transfer cut into chunks, with a few chunks in flight at once: the source makes
// them on a thread of its own, each stage works on them on a thread of its own, and the
// sink takes them on the calling thread, in order. So the reading, the cipher and the
// writing of neighbouring chunks run at the same time, in the memory of inFlight chunks
// whatever the size of the whole. A step that touches the object store uses that
// thread's own connections (ObjectStore::ForThisThread), never another thread's.
class ChunkPipeline {
public:
    // Fills the chunk (number, size and what else the next steps need); false when there
    // is nothing more, the chunk then unused.
    using Source = std::function<bool(PipelineChunk&)>;
    using Stage = std::function<void(PipelineChunk&)>;

    // 12 MB: enough for the other steps to go on through a sync of tens of milliseconds
    // in one of them (a checkpoint of the store, the writer's own), which with a handful
    // of chunks stalled the whole pipeline on and off.
    static constexpr int kDefaultInFlight = 24;

    explicit ChunkPipeline(std::int64_t chunkCapacity, int inFlight = kDefaultInFlight);
    // Stops every thread of a run still going (a failure being raised) and waits for it.
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // Returns once the source has no more and the sink has taken the last chunk. The
    // first failure of any step stops the others (a thread waiting for a chunk or for
    // room stops at once, one at work when its step returns) and is raised here once
    // every thread has ended: nothing runs on after Run.
    void Run(const Source& source, const std::vector<Stage>& stages, const Stage& sink);
    // The same steps one after another on the calling thread, one chunk at a time: for
    // a transfer of a chunk or two, which gains nothing from threads.
    void RunHere(const Source& source, const std::vector<Stage>& stages, const Stage& sink);

private:
    // The chunks are made when a run needs them: a run here needs one, and a pipeline
    // for each of thousands of small items would otherwise take and give back the memory
    // of inFlight chunks each time.
    void Allocate(int count);

    std::int64_t m_chunkCapacity;
    int m_inFlight;
    std::vector<PipelineChunk> m_chunks;
};

} // namespace velmora
