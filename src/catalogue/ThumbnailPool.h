#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora {

class Stream;

// Makes the thumbnails of a listing on worker threads, as many as the machine has
// cores, each with its own store connections and a lower priority than the window's
// thread. Every item is first looked up in the library's thumbnail cache; only when
// none of the listing is left to look up do the workers decrypt and decode pictures,
// keeping each thumbnail made in the cache. Within each of the two passes the order is
// the caller's, and Prefer moves items (the rows scrolled into view) to the front.
// Workers end when there is nothing left to do; the pool's end waits for them.
class ThumbnailPool {
public:
    // The index of a result that carries a picture; otherwise index is a stock position.
    static constexpr int kMadeThumbnail = -1;

    // A picture (by upper-case extension) turned into its thumbnail, a PNG of the cell;
    // raises when the picture cannot be decoded. Runs on the workers.
    using Maker = std::function<std::string(const std::string& extension, Stream& picture)>;
    struct Result {
        std::uint64_t generation = 0;
        int recIdent = 0;
        int index = 0;
        std::string png;   // with kMadeThumbnail
    };
    // Takes each result on the worker that made it.
    using Sink = std::function<void(Result)>;

    // threads: 0 for one per core.
    ThumbnailPool(Maker maker, Sink sink, int threads = 0);
    ~ThumbnailPool();
    ThumbnailPool(const ThumbnailPool&) = delete;
    ThumbnailPool& operator=(const ThumbnailPool&) = delete;

    // Replaces whatever was queued with these items, in this order; their results
    // carry generation.
    void Start(std::uint64_t generation, std::vector<int> recIdents);
    // Moves the queued ones of these items to the front, in this order.
    void Prefer(const std::vector<int>& recIdents);
    // Drops what is queued; work under way stops at its next chunk and its result is
    // not delivered.
    void Stop();
    // Nothing queued and nothing under way.
    bool Idle() const;
    // Pictures decrypted and decoded since the pool was made (cache hits not counted).
    int Decodes() const;

private:
    void Work();
    void Spawn();
    bool Current(std::uint64_t epoch) const;
    void Deliver(std::uint64_t epoch, Result result);

    Maker m_maker;
    Sink m_sink;
    int m_threads;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<int> m_lookUp;   // to be looked up in the cache
    std::deque<int> m_make;     // not in the cache: to be made
    // Each item's place in the order wanted (Start's order, Prefer's items before it);
    // both queues are kept in it.
    std::unordered_map<int, std::int64_t> m_rank;
    std::int64_t m_frontRank = 0;
    std::uint64_t m_generation = 0;
    std::uint64_t m_epoch = 0;  // changes with each Start and Stop
    int m_busy = 0;
    int m_decodes = 0;
    bool m_quit = false;
    std::vector<std::thread> m_workers;
    std::vector<std::thread::id> m_finished;   // workers that left their loop, to be joined
};

} // namespace velmora
