#include "store/ChunkPipeline.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace velmora {

namespace {

// Unwinds a step's thread once the pipeline is stopping.
struct Stopped {};

// Queue 0 holds the free chunks; queue i the chunks waiting for step i (the source is
// step 0, the sink the last). A null entry marks the end of the chunks.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::deque<PipelineChunk*>> queues;
    bool stopping = false;
    std::exception_ptr failure;

    PipelineChunk* Take(std::size_t queue)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stopping || !queues[queue].empty(); });
        if (stopping)
            throw Stopped{};
        PipelineChunk* chunk = queues[queue].front();
        queues[queue].pop_front();
        return chunk;
    }
    void Put(std::size_t queue, PipelineChunk* chunk)
    {
        {
            std::lock_guard lock(mutex);
            queues[queue].push_back(chunk);
        }
        changed.notify_all();
    }
    // Records the first failure (none when the caller stops a run) and stops every step.
    void Stop(std::exception_ptr error)
    {
        {
            std::lock_guard lock(mutex);
            if (!stopping && error)
                failure = std::move(error);
            stopping = true;
        }
        changed.notify_all();
    }
};

void Clear(PipelineChunk& chunk)
{
    chunk.size = chunk.length = 0;
    chunk.number = chunk.storeNo = chunk.nextStore = chunk.generation = 0;
    chunk.rowid = 0;
    chunk.cipher = nullptr;
    chunk.last = false;
}

// Runs body on a thread of its own; a failure in it stops the pipeline.
template <typename Body>
std::thread StepThread(Shared& shared, Body body)
{
    return std::thread([&shared, body]() {
        try {
            body();
        } catch (const Stopped&) {
        } catch (...) {
            shared.Stop(std::current_exception());
        }
    });
}

} // namespace

ChunkPipeline::ChunkPipeline(std::int64_t chunkCapacity, int inFlight)
    : m_chunkCapacity(chunkCapacity), m_inFlight(inFlight > 0 ? inFlight : 1)
{
}

void ChunkPipeline::Allocate(int count)
{
    m_chunks.reserve(static_cast<std::size_t>(count));
    while (m_chunks.size() < static_cast<std::size_t>(count))
        m_chunks.emplace_back(m_chunkCapacity);
}

ChunkPipeline::~ChunkPipeline() = default;

void ChunkPipeline::Run(const Source& source, const std::vector<Stage>& stages, const Stage& sink)
{
    Allocate(m_inFlight);
    Shared shared;
    shared.queues.resize(stages.size() + 2);
    for (auto& chunk : m_chunks)
        shared.queues[0].push_back(&chunk);
    const std::size_t sinkQueue = stages.size() + 1;

    std::vector<std::thread> threads;
    // However Run ends, no step's thread outlives it.
    struct JoinAll {
        Shared& shared;
        std::vector<std::thread>& threads;
        ~JoinAll()
        {
            shared.Stop(nullptr);
            for (auto& t : threads)
                if (t.joinable())
                    t.join();
        }
    } joinAll{shared, threads};

    threads.push_back(StepThread(shared, [&shared, &source] {
        for (;;) {
            PipelineChunk* chunk = shared.Take(0);
            Clear(*chunk);
            if (!source(*chunk)) {
                shared.Put(1, nullptr);
                return;
            }
            shared.Put(1, chunk);
        }
    }));
    for (std::size_t i = 0; i < stages.size(); ++i) {
        threads.push_back(StepThread(shared, [&shared, &stage = stages[i], i] {
            for (;;) {
                PipelineChunk* chunk = shared.Take(i + 1);
                if (chunk)
                    stage(*chunk);
                shared.Put(i + 2, chunk);
                if (!chunk)
                    return;
            }
        }));
    }

    try {
        for (;;) {
            PipelineChunk* chunk = shared.Take(sinkQueue);
            if (!chunk)
                break;
            sink(*chunk);
            shared.Put(0, chunk);
        }
    } catch (const Stopped&) {
        // A step failed: its failure is raised below, once every thread has ended.
    } catch (...) {
        shared.Stop(std::current_exception());
    }
    shared.Stop(nullptr);
    for (auto& t : threads)
        t.join();
    if (shared.failure)
        std::rethrow_exception(shared.failure);
}

void ChunkPipeline::RunHere(const Source& source, const std::vector<Stage>& stages, const Stage& sink)
{
    Allocate(1);
    PipelineChunk& chunk = m_chunks.front();
    for (;;) {
        Clear(chunk);
        if (!source(chunk))
            return;
        for (const auto& stage : stages)
            stage(chunk);
        sink(chunk);
    }
}

} // namespace velmora
