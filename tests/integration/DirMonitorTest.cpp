#include "MonitorTestSupport.h"

#include "integration/DirMonitor.h"
#include "store/AddItemOnThread.h"
#include "store/FileStream.h"

#include <gmock/gmock.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <optional>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr auto kPatience = 60s;   // only a hung monitor takes this long
constexpr auto kQuickTicks = 1ms;

// Collects the monitor's tick reports and lets the test wait for a condition that
// becomes true after some tick.
class ScanLog {
public:
    TDirMonitor::ScanObserver Observer()
    {
        return [this](const ScanReport& report) { Record(report); };
    }
    void Record(const ScanReport& report)
    {
        {
            std::lock_guard lock(m_mutex);
            m_reports.push_back(report);
        }
        m_changed.notify_all();
    }
    // Re-checks done after every tick; false when it has not come true in time.
    bool WaitUntil(const std::function<bool()>& done)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kPatience, [&] {
            lock.unlock();
            const bool result = done();
            lock.lock();
            return result;
        });
    }
    bool WaitForTicks(std::size_t more)
    {
        const std::size_t target = Ticks() + more;
        return WaitUntil([&] { return Ticks() >= target; });
    }
    std::size_t Ticks() const
    {
        std::lock_guard lock(m_mutex);
        return m_reports.size();
    }
    std::vector<ScanReport> Reports() const
    {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }
    std::vector<std::string> Imported() const
    {
        std::vector<std::string> names;
        for (const auto& report : Reports())
            if (!report.imported.empty())
                names.push_back(fs::path(report.imported).filename().string());
        return names;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ScanReport> m_reports;
};

class DirMonitorTest : public MonitorFixture {
protected:
    ScanLog log;
};

TEST_F(DirMonitorTest, EmptiesTheFolderInTheBackgroundOneFileAtATime)
{
    const std::map<std::string, std::string> media = {
        {"a.jpeg", PatternBytes(500000, 1)},
        {"b.mid", PatternBytes(123, 2)},
        {"c.AVI", PatternBytes(1100000, 3)},
    };
    for (const auto& [name, bytes] : media)
        WriteFile(watched / name, bytes);
    WriteFile(watched / "list.txt", "stays");

    TDirMonitor monitor(kQuickTicks, log.Observer());
    monitor.SetDirectory(watched.str());
    monitor.SetEnabled(true);
    monitor.Resume();
    ASSERT_TRUE(log.WaitUntil([&] { return log.Imported().size() == 3; }));
    monitor.Suspend();

    EXPECT_THAT(FolderNames(), ElementsAre("list.txt"));
    EXPECT_EQ(ReadFile(watched / "list.txt"), "stays");
    for (const auto& report : log.Reports())
        EXPECT_TRUE(report.imported.empty() || report.deleted);
    EXPECT_EQ(ItemCount(), 3);
    for (const auto& [name, bytes] : media)
        EXPECT_EQ(ReadItem(ItemNamed(name)), bytes) << name;
    EXPECT_EQ(Scalar("Select count(*) from RecordCategory"), 0);
    EXPECT_THAT(Faults(), IsEmpty());
}

TEST_F(DirMonitorTest, StaysSuspendedUntilResumedAndEndsWhileSuspended)
{
    WriteFile(watched / "wait.jpg", "picture");
    {
        TDirMonitor monitor(kQuickTicks, log.Observer());
        monitor.SetDirectory(watched.str());
        monitor.SetEnabled(false);
        monitor.ResumeIfEnabled();
        EXPECT_TRUE(monitor.Suspended());
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(log.Ticks(), 0u);
    }   // ends a thread that never ran a tick
    EXPECT_TRUE(fs::exists(watched / "wait.jpg"));

    TDirMonitor monitor(kQuickTicks, log.Observer());
    monitor.SetDirectory(watched.str());
    monitor.SetEnabled(true);
    monitor.ResumeIfEnabled();
    EXPECT_FALSE(monitor.Suspended());
    ASSERT_TRUE(log.WaitUntil([&] { return !fs::exists(watched / "wait.jpg"); }));
    EXPECT_EQ(ItemCount(), 1);
}

struct OffCase {
    const char* name;
    bool enabled;
    bool withDirectory;
};

void PrintTo(const OffCase& c, std::ostream* os)
{
    *os << c.name;
}

class MonitorOffTest : public DirMonitorTest, public ::testing::WithParamInterface<OffCase> {};

TEST_P(MonitorOffTest, ImportsNothingUntilTurnedOn)
{
    WriteFile(watched / "song.mp3", "tune");
    TDirMonitor monitor(kQuickTicks, log.Observer());
    monitor.SetDirectory(GetParam().withDirectory ? watched.str() : std::string());
    monitor.SetEnabled(GetParam().enabled);
    monitor.Resume();   // running, as after the password gate

    ASSERT_TRUE(log.WaitForTicks(5));
    monitor.Suspend();
    for (const auto& report : log.Reports())
        EXPECT_FALSE(report.scanned);
    EXPECT_THAT(FolderNames(), ElementsAre("song.mp3"));
    EXPECT_EQ(ItemCount(), 0);

    // The same monitor does import once both settings allow it.
    monitor.SetDirectory(watched.str());
    monitor.SetEnabled(true);
    monitor.Resume();
    ASSERT_TRUE(log.WaitUntil([&] { return FolderNames().empty(); }));
    EXPECT_EQ(ReadItem(ItemNamed("song.mp3")), "tune");
}

INSTANTIATE_TEST_SUITE_P(Settings, MonitorOffTest,
                         ::testing::Values(OffCase{"MonitoringOff", false, true},
                                           OffCase{"NoDirectory", true, false},
                                           OffCase{"OffAndNoDirectory", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirMonitorTest, SuspendWaitsForTheScanInProgressAndResumeTakesNewSettings)
{
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls = 0;
    TDirMonitor monitor(kQuickTicks, log.Observer(), [&](const std::string& path) {
        if (++calls == 1) {
            entered.set_value();
            released.wait();
        }
        return AddMonitoredFile(path);
    });
    WriteFile(watched / "first.bmp", "BM first");
    monitor.SetDirectory(watched.str());
    monitor.SetEnabled(true);
    monitor.Resume();
    ASSERT_EQ(entered.get_future().wait_for(kPatience), std::future_status::ready);

    auto suspending = std::async(std::launch::async, [&] { monitor.Suspend(); });
    // Suspend cannot return while the import is held up.
    EXPECT_EQ(suspending.wait_for(100ms), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(suspending.wait_for(kPatience), std::future_status::ready);
    // The scan that was running has finished, deletion included.
    EXPECT_FALSE(fs::exists(watched / "first.bmp"));
    EXPECT_EQ(ItemCount(), 1);

    // Settings change only while suspended; the next scan sees them.
    TempDir other;
    WriteFile(other / "second.bmp", "BM second");
    WriteFile(watched / "third.bmp", "BM third");
    monitor.SetDirectory(other.str());
    monitor.Resume();
    ASSERT_TRUE(log.WaitUntil([&] { return !fs::exists(other / "second.bmp"); }));
    monitor.Suspend();
    EXPECT_EQ(ReadItem(ItemNamed("second.bmp")), "BM second");
    EXPECT_TRUE(fs::exists(watched / "third.bmp"));
}

// A writer that keeps its file open and appends a piece after every tick of the
// monitor, however slowly it gets round to it: the monitor waits for it in between.
class SlowWriter {
public:
    SlowWriter(const fs::path& file, int pieces)
    {
        m_file.emplace(file, FileMode::Create);
        m_thread = std::thread([this, pieces] { Run(pieces); });
    }
    // A monitor that stopped ticking (a failed test) must not leave the writer waiting.
    ~SlowWriter()
    {
        {
            std::lock_guard lock(m_mutex);
            m_abandoned = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    SlowWriter(const SlowWriter&) = delete;
    SlowWriter& operator=(const SlowWriter&) = delete;

    // From the monitor's observer: lets the writer add its next piece before the
    // following scan. Returns whether the writer still had the file open.
    bool Tick()
    {
        std::unique_lock lock(m_mutex);
        const bool writing = !m_done;
        ++m_ticks;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_done || m_written == m_ticks; });
        return writing;
    }
    std::string Written()
    {
        std::lock_guard lock(m_mutex);
        return m_content;
    }

private:
    void Run(int pieces)
    {
        for (int piece = 0; piece < pieces; ++piece) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_abandoned || m_ticks > m_written; });
            if (m_abandoned)
                break;
            std::this_thread::sleep_for(20ms);   // slow, and nothing depends on how slow
            const std::string bytes = PatternBytes(70000, static_cast<unsigned>(piece));
            m_file->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
            m_content += bytes;
            m_written = m_ticks;
            m_changed.notify_all();
        }
        std::lock_guard lock(m_mutex);
        m_file.reset();
        m_done = true;
        m_changed.notify_all();
    }

    std::optional<FileStream> m_file;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_ticks = 0;
    std::size_t m_written = 0;
    bool m_done = false;
    bool m_abandoned = false;
    std::string m_content;
    std::thread m_thread;
};

TEST_F(DirMonitorTest, FileStillBeingWrittenIsImportedWholeAfterTheWriterFinishes)
{
    const fs::path file = watched / "capture.mpg";
    SlowWriter writer(file, 8);
    std::atomic<bool> importedWhileWriting = false;
    TDirMonitor monitor(kQuickTicks, [&](const ScanReport& report) {
        const bool writing = writer.Tick();
        if (writing && !report.imported.empty())
            importedWhileWriting = true;
        log.Record(report);
    });
    monitor.SetDirectory(watched.str());
    monitor.SetEnabled(true);
    monitor.Resume();

    ASSERT_TRUE(log.WaitUntil([&] { return !log.Imported().empty(); }));
    monitor.Suspend();
    EXPECT_FALSE(importedWhileWriting);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ItemCount(), 1);
    const std::string written = writer.Written();
    EXPECT_EQ(written.size(), 8u * 70000u);
    EXPECT_EQ(ReadItem(ItemNamed("capture.mpg")), written);
}

TEST_F(DirMonitorTest, MonitorAndUserInterfaceAddingAtOnceLeaveTheLibrarySound)
{
    constexpr int kEach = 5;
    std::map<std::string, std::string> expected;
    for (int i = 0; i < kEach; ++i) {
        const std::string name = "dropped" + std::to_string(i) + ".wmv";
        expected[name] = PatternBytes(1100000, static_cast<unsigned>(100 + i));
        WriteFile(watched / name, expected[name]);
    }
    std::promise<void> started;
    std::atomic<bool> first = true;
    TDirMonitor monitor(kQuickTicks, log.Observer(), [&](const std::string& path) {
        if (first.exchange(false))
            started.set_value();
        return AddMonitoredFile(path);
    });
    monitor.SetDirectory(watched.str());
    monitor.SetEnabled(true);
    monitor.Resume();

    // The user interface thread adds its own items while the monitor imports.
    ASSERT_EQ(started.get_future().wait_for(kPatience), std::future_status::ready);
    for (int i = 0; i < kEach; ++i) {
        const std::string name = "added" + std::to_string(i) + ".jpg";
        expected[name] = PatternBytes(1100000, static_cast<unsigned>(200 + i));
        AddItem(expected[name], name);
    }
    ASSERT_TRUE(log.WaitUntil([&] { return FolderNames().empty(); }));
    monitor.Suspend();

    EXPECT_EQ(ItemCount(), 2 * kEach);
    for (const auto& [name, bytes] : expected)
        EXPECT_EQ(ReadItem(ItemNamed(name)), bytes) << name;
    EXPECT_THAT(Faults(), IsEmpty());
}

} // namespace
} // namespace velmora::test
