// The program as separate processes: a windowless start that only adds files, and the
// starts that only answer --help and --version. (With windows on a screen, the
// hand-over to a running instance: DesktopProcessTest.)
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
    // At its password gate, which serves second starts meanwhile.
    StartFirst({QString::fromStdString(library.str())});
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
