#include "app/CommandLine.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

using test::TempDir;
using test::WriteFile;

// A folder to add, a library folder (holds tndb.mdb), a folder named like an archive
// and a plain file, next to paths that do not exist.
class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(pictures);
        std::filesystem::create_directories(library);
        WriteFile(std::filesystem::path(library) / "tndb.mdb", "x");
        std::filesystem::create_directories(archiveFolder);
        WriteFile(notes, "notes");
        std::filesystem::create_directories(emptyFolder);
        std::filesystem::create_directories(std::filesystem::path(full) / "sub");
    }

    StartRequest Parse(const std::vector<std::string>& arguments)
    {
        return CommandLine::Parse(arguments);
    }

    TempDir dir;
    std::string pictures = (dir / "pictures").string();
    std::string library = (dir / "lib").string();
    std::string archiveFolder = (dir / "folder.eta").string();
    std::string notes = (dir / "notes.txt").string();
    std::string emptyFolder = (dir / "vault").string();
    std::string full = (dir / "holidays").string();
};

TEST_F(CommandLineTest, ArgumentsAreSortedIntoTheirClasses)
{
    struct Case {
        std::string what;
        std::vector<std::string> arguments;
        std::vector<std::string> pathsToAdd;
        std::string pendingArchive;
        bool automation;
        std::optional<std::string> dataDir;
        StartMode mode;
    };
    const std::string missingPhoto = (dir / "photo.JPG").string();
    const std::vector<Case> cases = {
        {"media file that does not exist and a folder", {missingPhoto, pictures},
         {missingPhoto, pictures}, "", false, std::nullopt, StartMode::AddFiles},
        {"folder holding a library is the data folder", {library}, {}, "", false, library,
         StartMode::Interactive},
        {"any other file is the data folder", {notes}, {}, "", false, notes, StartMode::Interactive},
        {"missing path without media extension is the data folder", {"/nowhere/lib"}, {}, "",
         false, "/nowhere/lib", StartMode::Interactive},
        {"the last data folder wins", {notes, library}, {}, "", false, library,
         StartMode::Interactive},
        {"-embedding after a data folder resets it to the default", {library, "-embedding"},
         {}, "", true, std::nullopt, StartMode::Automation},
        {"a data folder after -embedding stays", {"-EMBEDDING", notes}, {}, "", true, notes,
         StartMode::Automation},
        {"the last archive wins and is never added", {"a.eta", "B.ETA"}, {}, "B.ETA", false,
         std::nullopt, StartMode::Interactive},
        {"a folder named like an archive is an archive", {archiveFolder}, {}, archiveFolder, false,
         std::nullopt, StartMode::Interactive},
        {"files and an archive add the files", {"x.eta", "song.mp3", "clip.MPE"},
         {"song.mp3", "clip.MPE"}, "x.eta", false, std::nullopt, StartMode::AddFiles},
        {"files with -embedding still add them", {"-embedding", "a.wav"}, {"a.wav"}, "", true,
         std::nullopt, StartMode::AddFiles},
        {"no arguments", {}, {}, "", false, std::nullopt, StartMode::Interactive},
        {"an extension is only what follows the last dot", {"movie.avi.txt"}, {}, "", false,
         "movie.avi.txt", StartMode::Interactive},
        {"an empty folder alone is the data folder (for a new library)", {emptyFolder}, {}, "", false,
         emptyFolder, StartMode::Interactive},
        {"an empty folder among other arguments is a folder to add", {emptyFolder, notes}, {emptyFolder}, "",
         false, notes, StartMode::AddFiles},
        {"a folder that holds anything, alone, is a folder to add", {full}, {full}, "", false, std::nullopt,
         StartMode::AddFiles},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StartRequest request = Parse(c.arguments);
        EXPECT_EQ(request.pathsToAdd, c.pathsToAdd);
        EXPECT_EQ(request.addFiles, !c.pathsToAdd.empty());
        EXPECT_EQ(request.pendingArchive, c.pendingArchive);
        EXPECT_EQ(request.automation, c.automation);
        EXPECT_EQ(request.dataDir, c.dataDir);
        EXPECT_EQ(request.Mode(), c.mode);
        EXPECT_FALSE(request.regServer);
        EXPECT_FALSE(request.unregServer);
    }
}

TEST_F(CommandLineTest, ServerSwitchesAreRecognisedInAnyCaseAfterSlashOrDash)
{
    struct Case {
        std::string argument;
        bool reg;
        bool unreg;
    };
    for (const Case& c : {Case{"/regserver", true, false}, Case{"-RegServer", true, false},
                          Case{"/UNREGSERVER", false, true}, Case{"-unregserver", false, true}}) {
        SCOPED_TRACE(c.argument);
        const StartRequest request = Parse({c.argument});
        EXPECT_EQ(request.regServer, c.reg);
        EXPECT_EQ(request.unregServer, c.unreg);
        EXPECT_EQ(request.Mode(), c.reg ? StartMode::RegisterServer : StartMode::UnregisterServer);
        // The switch is no data folder.
        EXPECT_FALSE(request.dataDir.has_value());
    }
    // Without its introducer, or with two, it is just another argument.
    for (const std::string argument : {"regserver", "--regserver", "/regserverx"}) {
        const StartRequest request = Parse({argument});
        EXPECT_FALSE(request.regServer) << argument;
        EXPECT_EQ(request.dataDir, argument);
    }
    // The switch decides the mode whatever else is given.
    EXPECT_EQ(Parse({"song.mp3", "/RegServer"}).Mode(), StartMode::RegisterServer);
}

TEST_F(CommandLineTest, ArgumentsLeaveOutTheProgramName)
{
    const char* argv[] = {"/opt/velmora/velmora", "a.eta", "-embedding", nullptr};
    EXPECT_EQ(CommandLine::Arguments(3, argv), (std::vector<std::string>{"a.eta", "-embedding"}));
    EXPECT_TRUE(CommandLine::Arguments(1, argv).empty());
}

} // namespace
} // namespace velmora
