// The program as separate processes: a running instance receiving a hand-over from a
// second start, a windowless start that only adds files, and the starts that only
// answer --help and --version. (With windows on a screen: DesktopProcessTest.)
#include "app/ProgramInfo.h"
#include "store/LibraryFiles.h"

#include "app/ProgramProcessFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::kHangGuardMs;
using velmora::test::ListFilesInProgramFolder;
using velmora::test::WriteFile;

namespace {

class EntryProcessTest : public velmora::test::ProgramProcessFixture {
protected:
    QProcessEnvironment Environment() const override
    {
        QProcessEnvironment env = ProgramProcessFixture::Environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }
};

TEST_F(EntryProcessTest, SecondStartHandsFilesThenArchivesToTheRunningInstance)
{
    MakeLibrary(library.path());
    // Automation mode shows no window and asks no password; the data folder after
    // "-embedding", which resets it to the program folder.
    StartFirst({"-embedding", QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();

    WriteFile(files / "b.jpg", "not really a picture, but a .jpg");
    WriteFile(files / "a.eta", "archive a");
    WriteFile(files / "c.eta", "archive c");
    const auto second = RunVelmora({"a.eta", "b.jpg", "c.eta"});
    EXPECT_EQ(second.exitCode, 0) << second.err;

    const std::string a = (files / "a.eta").string();
    const std::string b = (files / "b.jpg").string();
    const std::string c = (files / "c.eta").string();
    ASSERT_TRUE(WaitForOutput("import " + c)) << firstErr;
    const auto added = firstErr.find("add " + b);
    const auto importedA = firstErr.find("import " + a);
    const auto importedC = firstErr.find("import " + c);
    ASSERT_NE(added, std::string::npos) << firstErr;
    ASSERT_NE(importedA, std::string::npos) << firstErr;
    EXPECT_LT(added, importedA) << firstErr;
    EXPECT_LT(importedA, importedC) << firstErr;
    EXPECT_EQ(ItemNames(library.path()), std::vector<std::string>{"b.jpg"});
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_TRUE(fs::exists(files / "b.jpg"));   // sources stay unless the library says otherwise

    // A start with nothing to hand over reaches the running instance and leaves no list file.
    const auto again = RunVelmora({QString::fromStdString(library.str())});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(EntryProcessTest, MediaFilesWithoutARunningInstanceAreAddedWithoutAWindow)
{
    MakeLibrary(library.path());
    WriteFile(files / "photo.JPG", "photo bytes");
    fs::create_directories(files / "music" / "old");
    WriteFile(files / "music" / "song.mp3", "song bytes");
    WriteFile(files / "music" / "old" / "tune.wav", "tune bytes");
    WriteFile(files / "music" / "notes.txt", "not media");
    WriteFile(files / "pending.eta", "dropped in this mode");

    const auto run = RunVelmora({QString::fromStdString(library.str()), "photo.JPG", "music", "pending.eta"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("velmora.handover: import"), std::string::npos) << run.err;
    auto names = ItemNames(library.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"photo.JPG", "song.mp3", "tune.wav"}));
    EXPECT_TRUE(fs::exists(files / "photo.JPG"));
}

TEST_F(EntryProcessTest, HelpAndVersionAreAnsweredOnStandardOutputEvenBesideARunningInstance)
{
    MakeLibrary(library.path());
    StartFirst({"-embedding", QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();

    const auto help = RunVelmora({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: velmora", 0), 0u) << help.out;
    EXPECT_TRUE(help.err.empty()) << help.err;
    const auto version = RunVelmora({QString::fromStdString(library.str()), "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "velmora " + ProgramVersion() + "\n");
    const auto tool = velmora::test::RunProgram("velmora-tool", {"--version"});
    EXPECT_EQ(tool.exitCode, 0);
    EXPECT_EQ(tool.out, "velmora-tool " + ProgramVersion() + "\n");
    // Neither reached the running instance: a plain start after them is the first that
    // brings it to the front (messages are handled in the order they come).
    EXPECT_EQ(RunVelmora({}).exitCode, 0);
    ASSERT_TRUE(WaitForOutput("bring to front")) << firstErr;
    EXPECT_EQ(firstErr.find("bring to front"), firstErr.rfind("bring to front")) << firstErr;
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(EntryProcessTest, ServerRegistrationSwitchesAreAcceptedAndEndTheStart)
{
    for (const char* argument : {"/REGSERVER", "-unregserver", "/UnRegServer"}) {
        const auto run = RunVelmora({argument});
        EXPECT_EQ(run.exitCode, 0) << argument << ": " << run.err;
    }
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
}

} // namespace
