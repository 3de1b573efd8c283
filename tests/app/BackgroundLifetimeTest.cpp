// The windowless start's lifetime with short waits: it ends only once nothing is
// pending, and gives its bus name up before it ends.
#include "app/BackgroundLifetime.h"

#include "platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>

#include <string>
#include <vector>

namespace velmora {
namespace {

using test::ProcessEventsUntil;

// Runs the event loop for many times the lifetime's wait.
void RunEventsFor(int ms)
{
    QDeadlineTimer limit(ms);
    while (!limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class BackgroundLifetimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::CoreApplication();
        QObject::connect(&lifetime, &BackgroundLifetime::Ending, [this] { events.push_back("ending"); });
        QObject::connect(&lifetime, &BackgroundLifetime::Ended, [this] { events.push_back("ended"); });
    }

    bool busy = false;
    std::vector<std::string> events;
    BackgroundLifetime lifetime{[this] { return busy; }, 50};
};

TEST_F(BackgroundLifetimeTest, WorkPendingWhenTheWaitIsOverKeepsItUntilTheWorkIsDone)
{
    busy = true;   // a long add
    lifetime.Start();
    RunEventsFor(500);
    EXPECT_TRUE(events.empty());
    busy = false;
    lifetime.Activity();   // its answer
    ASSERT_TRUE(ProcessEventsUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"ending", "ended"}));
}

TEST_F(BackgroundLifetimeTest, AskedToEndWhileBusyItStopsTakingCallsAndEndsOnceIdle)
{
    busy = true;
    lifetime.Start();
    lifetime.EndWhenIdle();   // the bus went, or a later start asked
    EXPECT_EQ(events, std::vector<std::string>{"ending"});
    RunEventsFor(500);
    EXPECT_EQ(events, std::vector<std::string>{"ending"});
    busy = false;
    ASSERT_TRUE(ProcessEventsUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events.back(), "ended");
}

} // namespace
} // namespace velmora
