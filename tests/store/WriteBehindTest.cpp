#include "support/TestSupport.h"

#include "store/WriteBehind.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace velmora::test {
namespace {

constexpr std::int64_t kMiB = 1 << 20;

// What the helper thread has asked the kernel for, once it has caught up with wanted (or
// a minute has passed: it would hang).
std::int64_t RequestedOnceCaughtUp(WriteBehind& behind, std::int64_t wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (behind.Requested() < wanted && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return behind.Requested();
}

TEST(WriteBehind, AsksForTheFinalPartInStepsAndEndsWithoutWaiting)
{
    TempDir dir;
    const std::string path = (dir / "written").string();
    WriteFile(path, std::string(8 * kMiB, 'x'));

    // The destructor stops the helper thread instead of leaving it waiting.
    auto done = std::async(std::launch::async, [&] {
        WriteBehind behind(path, kMiB);
        behind.Reached(kMiB / 2);   // less than a step: nothing yet
        behind.Reached(3 * kMiB);
        EXPECT_EQ(RequestedOnceCaughtUp(behind, 3 * kMiB), 3 * kMiB);
        behind.Reached(3 * kMiB + kMiB / 2);   // less than a step beyond the last
        behind.Reached(8 * kMiB);
        EXPECT_EQ(RequestedOnceCaughtUp(behind, 8 * kMiB), 8 * kMiB);
        behind.Reached(8 * kMiB + 2 * kMiB);   // may be left pending when it goes
    });
    ASSERT_EQ(done.wait_for(std::chrono::minutes(1)), std::future_status::ready) << "the helper thread hangs";
    done.get();
}

TEST(WriteBehind, AFileItCannotOpenIsLeftAlone)
{
    TempDir dir;
    WriteBehind behind((dir / "missing").string(), kMiB);
    behind.Reached(4 * kMiB);
    EXPECT_EQ(behind.Requested(), 0);
}

} // namespace
} // namespace velmora::test
