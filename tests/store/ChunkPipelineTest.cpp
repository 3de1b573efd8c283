#include "support/TestSupport.h"

#include "store/ChunkPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

namespace velmora::test {
namespace {

constexpr int kInFlight = 3;

// Runs work on another thread and fails the test instead of hanging when it does not
// end within a minute.
void WithinAMinute(const std::function<void()>& work)
{
    auto done = std::async(std::launch::async, work);
    ASSERT_EQ(done.wait_for(std::chrono::minutes(1)), std::future_status::ready) << "the pipeline hangs";
    done.get();
}

struct Mode {
    const char* name;
    bool threaded;
};

void PrintTo(const Mode& mode, std::ostream* out)
{
    *out << mode.name;
}

class ChunkPipelineTest : public ::testing::TestWithParam<Mode> {
protected:
    void Run(ChunkPipeline& pipeline, const ChunkPipeline::Source& source,
             const std::vector<ChunkPipeline::Stage>& stages, const ChunkPipeline::Stage& sink)
    {
        if (GetParam().threaded)
            pipeline.Run(source, stages, sink);
        else
            pipeline.RunHere(source, stages, sink);
    }
};

TEST_P(ChunkPipelineTest, EveryChunkPassesEveryStepInOrderWithAFewInFlight)
{
    constexpr int kChunks = 40;
    ChunkPipeline pipeline(64, kInFlight);
    const auto caller = std::this_thread::get_id();
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    std::thread::id sourceThread;
    int made = 0;
    std::vector<int> seen;

    const ChunkPipeline::Source source = [&](PipelineChunk& chunk) {
        if (made == kChunks)
            return false;
        sourceThread = std::this_thread::get_id();
        chunk.number = ++made;
        chunk.size = 8;
        chunk.bytes.Data()[0] = static_cast<std::uint8_t>(chunk.number);
        const int now = ++inFlight;
        mostInFlight = std::max(mostInFlight.load(), now);
        return true;
    };
    const std::vector<ChunkPipeline::Stage> stages{
        [](PipelineChunk& chunk) { chunk.bytes.Data()[1] = static_cast<std::uint8_t>(chunk.bytes.Data()[0] + 1); },
        [](PipelineChunk& chunk) { chunk.bytes.Data()[2] = static_cast<std::uint8_t>(chunk.bytes.Data()[1] * 2); },
    };
    const ChunkPipeline::Stage sink = [&](PipelineChunk& chunk) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_EQ(chunk.bytes.Data()[2], static_cast<std::uint8_t>((chunk.number + 1) * 2));
        seen.push_back(chunk.number);
        --inFlight;
    };
    Run(pipeline, source, stages, sink);

    std::vector<int> expected(kChunks);
    for (int i = 0; i < kChunks; ++i)
        expected[i] = i + 1;
    EXPECT_EQ(seen, expected);
    EXPECT_LE(mostInFlight.load(), GetParam().threaded ? kInFlight : 1);
    EXPECT_EQ(sourceThread == caller, !GetParam().threaded);
}

// Where a failure comes from, and after how many chunks.
struct FailureCase {
    const char* step;
    int at;
};

TEST_P(ChunkPipelineTest, AFailureInAnyStepEndsTheRunWithItAndLeavesNoThreadRunning)
{
    for (const FailureCase failure : {FailureCase{"source", 1}, FailureCase{"source", 6}, FailureCase{"stage", 6},
                                      FailureCase{"sink", 1}, FailureCase{"sink", 6}}) {
        SCOPED_TRACE(std::string(failure.step) + " at " + std::to_string(failure.at));
        const int threadsBefore = ThreadCount();
        std::atomic<int> made{0};
        auto failAt = [&](const char* step, int number) {
            if (failure.step == std::string(step) && number == failure.at)
                throw std::runtime_error(std::string(step) + " failed");
        };
        WithinAMinute([&] {
            ChunkPipeline pipeline(64, kInFlight);
            // Without the failure the source would go on for a long time.
            const ChunkPipeline::Source source = [&](PipelineChunk& chunk) {
                chunk.number = ++made;
                failAt("source", chunk.number);
                return chunk.number < 100000;
            };
            const ChunkPipeline::Stage stage = [&](PipelineChunk& chunk) { failAt("stage", chunk.number); };
            const ChunkPipeline::Stage sink = [&](PipelineChunk& chunk) { failAt("sink", chunk.number); };
            try {
                Run(pipeline, source, {stage}, sink);
                ADD_FAILURE() << "the run ended without the failure";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), std::string(failure.step) + " failed");
            }
        });
        // The source stopped with the failure, not at its own end.
        EXPECT_LE(made.load(), failure.at + kInFlight + 1);
        EXPECT_EQ(ThreadCountSettledAt(threadsBefore), threadsBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ChunkPipelineTest,
                         ::testing::Values(Mode{"Threads", true}, Mode{"CallingThread", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::test
