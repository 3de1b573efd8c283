#include "catalogue/ThumbnailPool.h"

#include "catalogue/ItemKind.h"
#include "catalogue/Thumbnails.h"
#include "store/ObjectStore.h"
#include "store/Statement.h"
#include "store/ThumbnailCache.h"
#include "ui/ProgressRoutines.h"

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <optional>

#include <sys/resource.h>
#include <unistd.h>

namespace velmora {

namespace {

// Thrown through the reading of an item when the pool's work was dropped meanwhile;
// not a std::exception, so that no handler of read errors takes it for one.
struct Dropped {};

// The reading of an item steps the item bar once per chunk: the place to notice that
// the work is no longer wanted.
class StopCheck : public NullProgress {
public:
    explicit StopCheck(std::function<bool()> wanted) : m_wanted(std::move(wanted)) {}
    void StepItemProgress() override
    {
        if (!m_wanted())
            throw Dropped{};
    }

private:
    std::function<bool()> m_wanted;
};

// The stock position for a listed item that is not a picture, none for a picture; a
// missing item gets the stock image for no thumbnail.
std::optional<int> StockIndexOf(db::Connection& main, int recIdent)
{
    db::Statement record(main.Handle(), "Select rec_tnorigname from Record where rec_ident = ?", main.DataSource());
    record.BindInt64(1, recIdent);
    if (!record.Step())
        return kNoThumbnail;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(record.Handle(), 0));
    const ItemKind kind = ItemKindOf(name != nullptr ? name : "");
    if (kind == ItemKind::Image)
        return std::nullopt;
    return StockThumbnailIndex(kind);
}

} // namespace

ThumbnailPool::ThumbnailPool(Maker maker, Sink sink, int threads)
    : m_maker(std::move(maker)), m_sink(std::move(sink)),
      m_threads(threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
{
}

ThumbnailPool::~ThumbnailPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_epoch;
        m_lookUp.clear();
        m_make.clear();
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void ThumbnailPool::Start(std::uint64_t generation, std::vector<int> recIdents)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_epoch;
        m_generation = generation;
        m_lookUp.assign(recIdents.begin(), recIdents.end());
        m_make.clear();
        m_rank.clear();
        for (std::size_t i = 0; i < recIdents.size(); ++i)
            m_rank[recIdents[i]] = static_cast<std::int64_t>(i);
        m_frontRank = 0;
        Spawn();
    }
    m_wake.notify_all();
}

void ThumbnailPool::Prefer(const std::vector<int>& recIdents)
{
    std::lock_guard lock(m_mutex);
    m_frontRank -= static_cast<std::int64_t>(recIdents.size());
    for (std::size_t i = 0; i < recIdents.size(); ++i)
        if (auto rank = m_rank.find(recIdents[i]); rank != m_rank.end())
            rank->second = m_frontRank + static_cast<std::int64_t>(i);
    const auto byRank = [this](int a, int b) { return m_rank[a] < m_rank[b]; };
    std::stable_sort(m_lookUp.begin(), m_lookUp.end(), byRank);
    std::stable_sort(m_make.begin(), m_make.end(), byRank);
}

void ThumbnailPool::Stop()
{
    std::lock_guard lock(m_mutex);
    ++m_epoch;
    m_lookUp.clear();
    m_make.clear();
}

bool ThumbnailPool::Idle() const
{
    std::lock_guard lock(m_mutex);
    return m_lookUp.empty() && m_make.empty() && m_busy == 0;
}

int ThumbnailPool::Decodes() const
{
    std::lock_guard lock(m_mutex);
    return m_decodes;
}

// Under m_mutex: workers that ended are joined, and as many started as are missing.
void ThumbnailPool::Spawn()
{
    for (const std::thread::id& ended : m_finished) {
        const auto worker = std::find_if(m_workers.begin(), m_workers.end(),
                                         [&](const std::thread& thread) { return thread.get_id() == ended; });
        // It has done its last work and only leaves its function: the join is at once.
        worker->join();
        m_workers.erase(worker);
    }
    m_finished.clear();
    while (static_cast<int>(m_workers.size()) < m_threads)
        m_workers.emplace_back([this] { Work(); });
}

bool ThumbnailPool::Current(std::uint64_t epoch) const
{
    std::lock_guard lock(m_mutex);
    return epoch == m_epoch;
}

void ThumbnailPool::Deliver(std::uint64_t epoch, Result result)
{
    if (Current(epoch))
        m_sink(std::move(result));
}

void ThumbnailPool::Work()
{
    // The desktop's ordinary threads all have the same priority; a higher nice value of
    // the workers alone lets the window's thread go first when they compete for a core.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A worker still looking an item up may yet queue it to be made: the others
        // wait for it rather than end and leave the making to it alone.
        m_wake.wait(lock, [this] { return m_quit || !m_lookUp.empty() || !m_make.empty() || m_busy == 0; });
        if (m_quit || (m_lookUp.empty() && m_make.empty()))
            break;
        const bool lookUp = !m_lookUp.empty();
        std::deque<int>& queue = lookUp ? m_lookUp : m_make;
        const int recIdent = queue.front();
        queue.pop_front();
        const std::uint64_t epoch = m_epoch;
        Result result{m_generation, recIdent, kNoThumbnail, {}};
        ++m_busy;
        lock.unlock();

        bool deliver = true;
        try {
            db::Connection& main = ObjectStore::ForThisThread().MainConnection();
            if (lookUp) {
                if (const std::optional<int> stock = StockIndexOf(main, recIdent)) {
                    result.index = *stock;
                } else if (std::optional<std::string> cached = FindThumbnail(main, recIdent)) {
                    result.index = kMadeThumbnail;
                    result.png = std::move(*cached);
                } else {
                    deliver = false;
                    std::lock_guard again(m_mutex);
                    // In its place, not behind the items looked up while this one was.
                    if (epoch == m_epoch) {
                        const auto place = std::upper_bound(
                            m_make.begin(), m_make.end(), recIdent,
                            [this](int a, int b) { return m_rank[a] < m_rank[b]; });
                        m_make.insert(place, recIdent);
                    }
                }
                m_wake.notify_all();
            } else {
                {
                    std::lock_guard again(m_mutex);
                    ++m_decodes;
                }
                StopCheck wanted([this, epoch] { return Current(epoch); });
                result.index = GetThumbnailIndex(
                    main, recIdent,
                    [&](const std::string& extension, Stream& picture) {
                        result.png = m_maker(extension, picture);
                        return kMadeThumbnail;
                    },
                    &wanted);
                if (result.index == kMadeThumbnail) {
                    // Shown first: keeping it may wait for another worker's write.
                    std::string png = result.png;
                    deliver = false;
                    Deliver(epoch, std::move(result));
                    try {
                        KeepThumbnail(main, recIdent, png);
                    } catch (const std::exception&) {
                        // Shown all the same; made again next time (a full disk, say).
                    }
                }
            }
        } catch (const Dropped&) {
            deliver = false;
        } catch (const std::exception&) {
            result.index = kNoThumbnail;   // the library could not be reached from this thread
            result.png.clear();
        }
        if (deliver)
            Deliver(epoch, std::move(result));
        lock.lock();
        --m_busy;
        m_wake.notify_all();
    }
    lock.unlock();
    // The thread's store connections close on the thread that opened them.
    ObjectStore::ForThisThread().Close();
    lock.lock();
    m_finished.push_back(std::this_thread::get_id());
}

} // namespace velmora
