#include "store/FileStream.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

using test::TempDir;

TEST(FileStream, CreatesWritesAndReadsBack)
{
    TempDir dir;
    const auto file = dir / "data.bin";
    {
        FileStream out(file, FileMode::Create);
        out.WriteBuffer("0123456789", 10);
        EXPECT_EQ(out.Size(), 10);
        EXPECT_EQ(out.Seek(2, SeekOrigin::Beginning), 2);
        out.WriteBuffer("ab", 2);
    }
    EXPECT_EQ(test::ReadFile(file), "01ab456789");
    FileStream in(file, FileMode::OpenRead);
    char buffer[16];
    EXPECT_EQ(in.Seek(-3, SeekOrigin::End), 7);
    EXPECT_EQ(in.Read(buffer, 16), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_THROW(in.Write("x", 1), StreamError);
}

TEST(FileStream, CreateEmptiesAndReadWriteKeeps)
{
    TempDir dir;
    const auto file = dir / "data.bin";
    test::WriteFile(file, "old content");
    {
        FileStream rw(file, FileMode::OpenReadWrite);
        rw.WriteBuffer("OLD", 3);
        rw.SetSize(5);
    }
    EXPECT_EQ(test::ReadFile(file), "OLD c");
    { FileStream created(file, FileMode::Create); }
    EXPECT_EQ(test::ReadFile(file), "");
}

TEST(FileStream, ErrorsNameTheFile)
{
    TempDir dir;
    const auto missing = dir / "missing.bin";
    for (FileMode mode : {FileMode::OpenRead, FileMode::OpenReadWrite}) {
        try {
            FileStream stream(missing, mode);
            ADD_FAILURE() << "opened a missing file";
        } catch (const StreamError& e) {
            EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(FileStream(dir / "no" / "such" / "folder", FileMode::Create), StreamError);
}

TEST(FileStream, ReadsAPipeToTheEndOfItsDataAndLeavesABorrowedDescriptorOpen)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string data = test::PatternBytes(300000, 4);
    std::thread writer([&] {
        // Small pieces: one read call must still deliver everything asked for.
        for (std::size_t at = 0; at < data.size(); at += 1000)
            ASSERT_EQ(write(fds[1], data.data() + at, std::min<std::size_t>(1000, data.size() - at)),
                      static_cast<ssize_t>(std::min<std::size_t>(1000, data.size() - at)));
        close(fds[1]);
    });
    std::string got(400000, '\0');
    {
        FileStream in(fds[0], "pipe");
        EXPECT_EQ(in.Read(got.data(), 200000), 200000);
        EXPECT_EQ(in.Read(got.data() + 200000, 200000), 100000);
        try {
            in.Seek(0, SeekOrigin::Beginning);
            ADD_FAILURE() << "a pipe was seekable";
        } catch (const StreamError& e) {
            EXPECT_NE(std::string(e.what()).find("\"pipe\""), std::string::npos) << e.what();
        }
    }
    writer.join();
    got.resize(300000);
    EXPECT_EQ(got, data);
    EXPECT_EQ(close(fds[0]), 0);   // still open after the stream is gone
}

} // namespace
} // namespace velmora
