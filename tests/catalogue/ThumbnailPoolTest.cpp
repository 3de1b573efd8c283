#include "support/LibraryFixture.h"

#include "catalogue/ItemKind.h"
#include "catalogue/ThumbnailPool.h"
#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/Stream.h"
#include "store/ThumbnailCache.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

std::string FakePng(const std::string& content)
{
    return std::string(kPngSignature, 8) + "made from " + content;
}

// A maker that turns a picture's bytes into a fake PNG naming them, counts its calls,
// fails for content "broken", and can be held at its next call until let go.
class FakeMaker {
public:
    ThumbnailPool::Maker Function()
    {
        return [this](const std::string&, Stream& picture) {
            std::string content(static_cast<std::size_t>(picture.Size()), '\0');
            picture.ReadBuffer(content.data(), picture.Size());
            std::unique_lock lock(m_mutex);
            ++m_calls;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_holding; });
            if (content == "broken")
                throw std::runtime_error("undecodable");
            return FakePng(content);
        };
    }
    void Hold()
    {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
        m_changed.notify_all();
    }
    void WaitForCalls(int calls)
    {
        std::unique_lock lock(m_mutex);
        ASSERT_TRUE(m_changed.wait_for(lock, 60s, [&] { return m_calls >= calls; }));
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_calls = 0;
    bool m_holding = false;
};

// What the pool delivered, in order.
class Results {
public:
    ThumbnailPool::Sink Function()
    {
        return [this](ThumbnailPool::Result result) {
            std::lock_guard lock(m_mutex);
            m_results.push_back(std::move(result));
        };
    }
    std::vector<ThumbnailPool::Result> WaitFor(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_results.size() >= count || std::chrono::steady_clock::now() > deadline)
                    return m_results;
            }
            std::this_thread::sleep_for(5ms);
        }
    }

private:
    std::mutex m_mutex;
    std::vector<ThumbnailPool::Result> m_results;
};

std::vector<int> Idents(const std::vector<ThumbnailPool::Result>& results)
{
    std::vector<int> idents;
    for (const auto& result : results)
        idents.push_back(result.recIdent);
    return idents;
}

void WaitUntilIdle(const ThumbnailPool& pool)
{
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!pool.Idle() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(pool.Idle());
}

class ThumbnailPoolTest : public LibraryFixture {
protected:
    db::Connection& Main() { return ObjectStore::ForThisThread().MainConnection(); }
    // count pictures whose content is "picture N", N from 0.
    std::vector<int> AddPictures(int count)
    {
        std::vector<int> items;
        for (int i = 0; i < count; ++i)
            items.push_back(AddItem("picture " + std::to_string(i), "p" + std::to_string(i) + ".jpg"));
        return items;
    }
};

TEST_F(ThumbnailPoolTest, CachedThumbnailsAndStockImagesComeBeforeAnyPictureIsMade)
{
    const int fresh1 = AddItem("fresh one", "a.jpg");
    const int cached1 = AddItem("cached one", "b.jpg");
    const int movie = AddItem("movie", "c.mpg");
    const int fresh2 = AddItem("fresh two", "d.gif");
    const int cached2 = AddItem("cached two", "e.jpeg");
    const int song = AddItem("song", "f.mp3");
    const int broken = AddItem("broken", "g.jpg");
    ASSERT_TRUE(KeepThumbnail(Main(), cached1, FakePng("cached one")));
    ASSERT_TRUE(KeepThumbnail(Main(), cached2, FakePng("cached two")));

    FakeMaker maker;
    Results results;
    {
        ThumbnailPool pool(maker.Function(), results.Function(), 1);
        pool.Start(7, {fresh1, cached1, movie, fresh2, cached2, song, broken});
        const auto got = results.WaitFor(7);
        EXPECT_THAT(Idents(got), ElementsAre(cached1, movie, cached2, song, fresh1, fresh2, broken));
        ASSERT_EQ(got.size(), 7u);
        for (const auto& result : got)
            EXPECT_EQ(result.generation, 7u);
        EXPECT_EQ(got[0].index, ThumbnailPool::kMadeThumbnail);
        EXPECT_EQ(got[0].png, FakePng("cached one"));
        EXPECT_EQ(got[1].index, StockThumbnailIndex(ItemKind::Video));
        EXPECT_EQ(got[3].index, StockThumbnailIndex(ItemKind::Audio));
        EXPECT_EQ(got[4].png, FakePng("fresh one"));
        EXPECT_EQ(got[6].index, kNoThumbnail);
        WaitUntilIdle(pool);
        EXPECT_EQ(pool.Decodes(), 3);
    }
    // What was made is kept; the picture that could not be decoded is not.
    EXPECT_THAT(CachedThumbnails(Main()), ElementsAre(fresh1, cached1, fresh2, cached2));
    EXPECT_EQ(FindThumbnail(Main(), fresh2), FakePng("fresh two"));
}

TEST_F(ThumbnailPoolTest, AfterARestartEveryThumbnailComesFromTheCache)
{
    const std::vector<int> items = AddPictures(12);
    {
        FakeMaker maker;
        Results results;
        ThumbnailPool pool(maker.Function(), results.Function());
        pool.Start(1, items);
        ASSERT_EQ(results.WaitFor(items.size()).size(), items.size());
        WaitUntilIdle(pool);
        EXPECT_EQ(pool.Decodes(), 12);
    }
    // The program ends and starts again: a new process opens the library anew.
    CloseLibrary(library);
    library = std::make_unique<Library>();
    SetDataDir(dir.str());
    library->Open();
    ASSERT_TRUE(library->VerifyPassword(kPassword, true));

    FakeMaker maker;
    Results results;
    ThumbnailPool pool(maker.Function(), results.Function());
    pool.Start(2, items);
    const auto got = results.WaitFor(items.size());
    ASSERT_EQ(got.size(), items.size());
    for (const auto& result : got) {
        const auto at = std::find(items.begin(), items.end(), result.recIdent) - items.begin();
        EXPECT_EQ(result.png, FakePng("picture " + std::to_string(at)));
    }
    WaitUntilIdle(pool);
    EXPECT_EQ(pool.Decodes(), 0);
}

TEST_F(ThumbnailPoolTest, PreferredItemsJumpTheQueue)
{
    const std::vector<int> items = AddPictures(6);
    FakeMaker maker;
    Results results;
    ThumbnailPool pool(maker.Function(), results.Function(), 1);
    maker.Hold();
    pool.Start(1, items);
    maker.WaitForCalls(1);   // the first is being made, the rest wait
    pool.Prefer({items[4], items[2], 9999});
    maker.Release();
    EXPECT_THAT(Idents(results.WaitFor(items.size())),
                ElementsAre(items[0], items[4], items[2], items[1], items[3], items[5]));
}

TEST_F(ThumbnailPoolTest, StoppedWorkDeliversNothingMore)
{
    const std::vector<int> items = AddPictures(5);
    FakeMaker maker;
    Results results;
    ThumbnailPool pool(maker.Function(), results.Function(), 1);
    maker.Hold();
    pool.Start(1, items);
    maker.WaitForCalls(1);
    pool.Stop();
    maker.Release();
    WaitUntilIdle(pool);
    EXPECT_EQ(pool.Decodes(), 1);
    EXPECT_THAT(results.WaitFor(0), IsEmpty());

    // Started again, it goes on from what the cache has: the picture made while it
    // stopped was kept, and only the other four are made.
    pool.Start(2, items);
    const auto got = results.WaitFor(items.size());
    EXPECT_EQ(got.size(), items.size());
    EXPECT_EQ(got.front().recIdent, items[0]);
    WaitUntilIdle(pool);
    EXPECT_EQ(pool.Decodes(), 5);
}

} // namespace
} // namespace velmora::test
