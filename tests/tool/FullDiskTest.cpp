// A library on a small file system that an add fills: the add says so, and the library
// still opens and reads without anything being freed; so does one on a disk filled by
// something else, and an export to a full disk fails cleanly.
#include "support/SmallFileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Writes zeros until the disk takes no more.
void FillUp(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, '\0');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
}

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Mounting needs root, which the test runs as; a user without it runs the test
        // in a namespace of its own (see the CMake entry), never skips it.
        ASSERT_EQ(disk.Error(), "") << "cannot mount a small file system";
    }
    ProcessResult Tool(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        env["VELMORA_PASSWORD"] = "pw one";
        args.insert(args.begin() + 1, {"--data", (disk / "library").string()});
        return RunProgram("velmora-tool", args, env);
    }
    // The library as a reader finds it: one line per item, and the kept item byte for byte.
    void ExpectReadable()
    {
        const auto listed = Tool({"ls"});
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        EXPECT_EQ(listed.out, "1\t700000\tkeep.jpg\tkeep.jpg\n");
        const auto read = Tool({"cat", "1"});
        EXPECT_EQ(read.exitCode, 0) << read.err;
        EXPECT_TRUE(read.out == ReadFile(sources / "keep.jpg"));
    }

    SmallFileSystem disk;
    TempDir sources;
};

TEST_F(FullDiskTest, AnAddThatFillsTheDiskSaysSoAndTheLibraryStillReads)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    WriteFile(sources / "keep.jpg", PatternBytes(700000, 1));
    WriteFile(sources / "huge.avi", PatternBytes(30u << 20, 2));
    ASSERT_EQ(Tool({"add", (sources / "keep.jpg").string()}).exitCode, 0);

    const auto failed = Tool({"add", (sources / "huge.avi").string()});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.err.find("No space left on the device"), std::string::npos) << failed.err;

    // Nothing freed: the library reads, and is as it was.
    ExpectReadable();
    const auto check = Tool({"fsck"});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

    // The failed add gave its room back: a smaller one fits.
    WriteFile(sources / "small.jpg", PatternBytes(3u << 20, 3));
    const auto added = Tool({"add", (sources / "small.jpg").string()});
    EXPECT_EQ(added.exitCode, 0) << added.err;
}

TEST_F(FullDiskTest, ALibraryOnAFullDiskOpensAndReadsAndAnExportThereFailsCleanly)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    WriteFile(sources / "keep.jpg", PatternBytes(700000, 1));
    ASSERT_EQ(Tool({"add", (sources / "keep.jpg").string()}).exitCode, 0);
    FillUp(disk / "filler");

    ExpectReadable();
    const auto exported = Tool({"export", "--archive", (disk / "out.eta").string(), "1"},
                               {{"VELMORA_ARCHIVE_PASSWORD", "for Anna"}});
    EXPECT_EQ(exported.exitCode, 2);
    EXPECT_NE(exported.err.find("No space left on the device"), std::string::npos) << exported.err;
    for (const auto& entry : fs::directory_iterator(disk / ""))
        EXPECT_TRUE(entry.path().filename() == "library" || entry.path().filename() == "filler") << entry.path();
    ExpectReadable();

    fs::remove(disk / "filler");
    const auto check = Tool({"fsck"});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

// An add that fails part-way on a full disk cannot give back all it booked; the space
// must still be exact after the next opening, and stay so.
TEST(FullDiskBookkeepingTest, ALargeAddThatFailedOnAFullDiskLeavesTheSpaceExact)
{
    SmallFileSystem disk("100m");
    ASSERT_EQ(disk.Error(), "") << "cannot mount a small file system";
    TempDir sources;
    auto tool = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--data", (disk / "library").string()});
        return RunProgram("velmora-tool", args, {{"VELMORA_PASSWORD", "pw one"}});
    };
    ASSERT_EQ(tool({"init"}).exitCode, 0);
    WriteFile(sources / "keep.jpg", PatternBytes(700000, 1));
    WriteFile(sources / "huge.avi", PatternBytes(150000000, 2));
    ASSERT_EQ(tool({"add", (sources / "keep.jpg").string()}).exitCode, 0);
    const auto failed = tool({"add", (sources / "huge.avi").string()});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.err.find("No space left on the device"), std::string::npos) << failed.err;
    for (int opening = 1; opening <= 2; ++opening) {
        const auto check = tool({"fsck"});
        EXPECT_EQ(check.exitCode, 0) << "opening " << opening << ": " << check.out << check.err;
    }
}

} // namespace
} // namespace velmora::test
