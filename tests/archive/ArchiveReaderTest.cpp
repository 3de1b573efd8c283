// Archives made to attack the importer, and readers that crash, hang or run into their
// limits: each is refused with the one message, in bounded time, and adds nothing.
#include "archive/ArchiveFixture.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveNames.h"
#include "archive/ArchiveReaderProcess.h"
#include "support/CraftedArchives.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Reason = ArchiveError::Reason;

constexpr const char* kNotValidMessage =
    "Unable to import the archive for the following reason: \r\nthe file is not a valid transfer archive";

class ArchiveReaderTest : public ArchiveFixture {
protected:
    void SetUp() override
    {
        ArchiveFixture::SetUp();
        AddItem("0123456789", "ten.jpg");
        AddItem(PatternBytes(1000001, 5), "big.mpg");
        Export({1, 2}, good);
        UseTarget();
    }

    // A reader stand-in: a shell script in the test's folder.
    std::string Script(const std::string& name, const std::string& body)
    {
        const fs::path path = files.path() / name;
        WriteFile(path, "#!/bin/sh\n" + body + "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }

    // Opens and imports path; the refusal it ends with.
    ArchiveError ImportRefusal(const std::string& path, const ReaderOptions& options)
    {
        try {
            TransferArchive archive(path, options);
            ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress);
        } catch (const ArchiveError& refused) {
            return refused;
        }
        ADD_FAILURE() << "imported";
        return ArchiveError(Reason::NotAnArchive, "");
    }

    const std::string good = ArchivePath("good.eta");
};

TEST_F(ArchiveReaderTest, CraftedArchivesAreRefusedAsNotValidWithoutHarm)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&, const std::string&)> make;
        Reason reason;
    };
    const Case cases[] = {
        {"schema row the parser crashes on", MakeSchemaCrashArchive, Reason::Unreadable},
        {"record as an endless view", MakeEndlessViewArchive, Reason::MissingSchema},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = ArchivePath(std::string(c.what) + ".eta");
        c.make(path, kArchivePassword);
        const ArchiveError refused = ImportRefusal(path, DefaultReaderOptions(path));
        EXPECT_EQ(refused.reason(), c.reason) << refused.what();
        EXPECT_NE(std::string(refused.what()).find(path), std::string::npos) << refused.what();
        EXPECT_EQ(ImportFailedMessage(refused), kNotValidMessage);
        EXPECT_TRUE(IsToldWhenOpening(refused.reason()));
    }
    EXPECT_EQ(Scalar("select count(*) from Record"), 0);
    EXPECT_TRUE(importProgress.calls.empty());
    EXPECT_EQ(Import(good), 2);   // the reader itself is unharmed
}

TEST_F(ArchiveReaderTest, AReaderThatCrashesHangsOrHitsALimitIsRefusedInBoundedTime)
{
    struct Case {
        const char* what;
        std::function<void(ReaderOptions&)> adjust;
        const char* says;   // in the refusal's own text
    };
    std::vector<Case> cases{
        {"killed by a signal", [&](ReaderOptions& o) { o.program = Script("crash", "kill -SEGV $$"); },
         "signal 11"},
        {"out of processor time",
         [&](ReaderOptions& o) {
             o.program = Script("spin", "while :; do :; done");
             o.cpuSeconds = 1;
         },
         "signal"},
        {"silent past its time",
         [&](ReaderOptions& o) {
             o.program = Script("sleep", "exec sleep 600");
             o.checkTime = 300ms;
         },
         "no answer"},
        {"nonsense", [&](ReaderOptions& o) { o.program = Script("talk", "echo hello"); }, "header"},
        {"a frame longer than allowed",
         [&](ReaderOptions& o) { o.program = Script("huge", R"(printf 'H\377\377\377\177'; exec sleep 600)"); },
         "header"},
        {"missing", [&](ReaderOptions& o) { o.program = (files.path() / "no such reader").string(); },
         "exited with code 127"},
    };
#if !defined(__SANITIZE_ADDRESS__)
    // The real reader, with too little address space to open the archive.
    cases.push_back({"out of address space", [](ReaderOptions& o) { o.addressSpace = 8u << 20; }, "reader"});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReaderOptions options = DefaultReaderOptions(good);
        c.adjust(options);
        const ArchiveError refused = ImportRefusal(good, options);
        EXPECT_EQ(refused.reason(), Reason::Unreadable) << refused.what();
        EXPECT_NE(std::string(refused.what()).find(c.says), std::string::npos) << refused.what();
        EXPECT_EQ(ImportFailedMessage(refused), kNotValidMessage);
    }
    EXPECT_EQ(Scalar("select count(*) from Record"), 0);
}

TEST_F(ArchiveReaderTest, AReaderKilledHalfWayEndsTheImportAfterTheItemsItCompleted)
{
    // What the real reader says for the good archive, cut short inside the second item.
    const fs::path recorded = files.path() / "recorded";
    const fs::path reader = BinDir() / kArchiveReaderName;
    ASSERT_EQ(std::system(("'" + reader.string() + "' '" + good + "' > '" + recorded.string() + "' < /dev/null").c_str()),
              0);
    const std::string frames = ReadFile(recorded);
    ASSERT_GT(frames.size(), 600000u);
    WriteFile(recorded, frames.substr(0, 600000));

    ReaderOptions options = DefaultReaderOptions(good);
    options.program = Script("dies", "cat '" + recorded.string() + "'; kill -KILL $$");
    TransferArchive archive(good, options);
    EXPECT_EQ(archive.RowCount(), 2);
    EXPECT_TRUE(archive.AcceptsPassword(kArchivePassword));
    try {
        ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress);
        ADD_FAILURE() << "imported";
    } catch (const ArchiveError& refused) {
        EXPECT_EQ(refused.reason(), Reason::Unreadable) << refused.what();
        EXPECT_NE(std::string(refused.what()).find("signal 9"), std::string::npos) << refused.what();
        EXPECT_EQ(ImportFailedMessage(refused), kNotValidMessage);
    }
    EXPECT_EQ(Scalar("select count(*) from Record"), 1);
    EXPECT_EQ(ReadItem(1), "0123456789");
    EXPECT_EQ(importProgress.calls.back(), "hide");
}

} // namespace
} // namespace velmora::test
