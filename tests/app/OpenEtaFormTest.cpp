#include "app/HandOver.h"
#include "app/HandOverProtocol.h"
#include "app/HandOverTarget.h"
#include "app/OpenEtaForm.h"
#include "platform/WindowMessages.h"
#include "store/LibraryFiles.h"

#include "HandOverFolders.h"

#include <gtest/gtest.h>

#include <QTime>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {
namespace {

using test::ProcessEventsUntil;
using test::WriteFile;

// Records every call in one sequence, so the order across kinds shows.
class RecordingTarget : public HandOverTarget {
public:
    void BringToFront() override { calls.push_back("front"); }
    bool DeleteSourceByDefault() override { return deleteByDefault; }
    void AddFileList(const std::vector<std::string>& files, int deleteMode) override
    {
        std::string call = "add " + std::to_string(deleteMode) + ":";
        for (const auto& f : files)
            call += " [" + f + "]";
        calls.push_back(call);
        if (failAdd)
            throw std::runtime_error("add failed");
    }
    void ImportArchive(const std::string& path) override { calls.push_back("import [" + path + "]"); }
    void RefuseHandOver(const std::string& message) override { calls.push_back("refuse " + message); }

    bool deleteByDefault = false;
    bool failAdd = false;
    std::vector<std::string> calls;
};

class OpenEtaFormTest : public ::testing::Test, protected test::HandOverFolders {
protected:
    void SetUp() override
    {
        test::CoreApplication();
        std::filesystem::create_directories(pictures);
        std::filesystem::create_directories(library);
        WriteFile(library / "tndb.mdb", "x");
    }

    std::filesystem::path pictures = files / "pictures";
    std::filesystem::path library = files / "lib";
    RecordingTarget target;
    TfrmOpenETA form{target, appDir.str()};
};

TEST_F(OpenEtaFormTest, FilesAreAddedBeforeArchivesAreImportedAndTheListFileGoes)
{
    WriteFile(ListFile("093015"), a + "\r\n" + b + "\r\n" + (files / "notes.txt").string() + "\r\n" +
                                      library.string() + "\r\n" + "  " + c + "\r\n" +
                                      pictures.string() + "\r\n\r\n");
    form.WMOpenETA(93015);

    const std::vector<std::string> expected = {
        "front",
        "add 0: [" + b + "] [" + pictures.string() + "]",
        "import [" + a + "]",
        "import [" + c + "]",   // leading blanks removed
    };
    EXPECT_EQ(target.calls, expected);
    EXPECT_FALSE(std::filesystem::exists(ListFile("093015")));
}

TEST_F(OpenEtaFormTest, DeleteModeFollowsTheLibraryDefaultAndLineFeedsAlone)
{
    target.deleteByDefault = true;
    WriteFile(ListFile("000007"), b + "\n" + pictures.string());   // LF only, no end of line at the end
    form.WMOpenETA(7);
    EXPECT_EQ(target.calls, (std::vector<std::string>{"front", "add 2: [" + b + "] [" + pictures.string() + "]"}));
    EXPECT_FALSE(std::filesystem::exists(ListFile("000007")));
}

TEST_F(OpenEtaFormTest, OnlyArchivesMeansNoAddCall)
{
    WriteFile(ListFile("120000"), c + "\r\n" + a + "\r\n");
    form.WMOpenETA(120000);
    EXPECT_EQ(target.calls,
              (std::vector<std::string>{"front", "import [" + c + "]", "import [" + a + "]"}));
}

TEST_F(OpenEtaFormTest, MissingListFileOrStrayNumberIsDroppedWithoutAWord)
{
    EXPECT_NO_THROW(form.WMOpenETA(101010));
    EXPECT_NO_THROW(form.WMOpenETA(-5));
    EXPECT_NO_THROW(form.WMOpenETA(12345678));
    EXPECT_EQ(target.calls, (std::vector<std::string>{"front", "front", "front"}));
}

TEST_F(OpenEtaFormTest, SecondStartHandsOverThroughTheWindowEndToEnd)
{
    ASSERT_TRUE(form.Create());
    const HandOverResult result = HandOverToRunningInstance({a, b, c}, QTime(9, 30, 15), appDir.str());
    ASSERT_TRUE(result.posted);

    ASSERT_TRUE(ProcessEventsUntil([&] { return target.calls.size() >= 4; }));
    test::DrainEvents();
    EXPECT_EQ(target.calls, (std::vector<std::string>{"front", "add 0: [" + b + "]", "import [" + a + "]",
                                                      "import [" + c + "]"}));
    EXPECT_FALSE(std::filesystem::exists(ListFile("093015")));
}

TEST_F(OpenEtaFormTest, FailedHandOverEndsQuietlyAndTheWindowKeepsServing)
{
    ASSERT_TRUE(form.Create());
    target.failAdd = true;
    WriteFile(ListFile("080000"), b + "\r\n" + a + "\r\n");
    ASSERT_TRUE(PostMessage(kOpenEtaCaption, {WM_OPENETA, 0, 80000}));
    // Messages of other numbers are not hand-overs.
    ASSERT_TRUE(PostMessage(kOpenEtaCaption, {WM_OPENETA + 1, 0, 80001}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return target.calls.size() >= 2; }));
    test::DrainEvents();
    // The add threw: the archive of that hand-over is not imported, the file is gone anyway.
    EXPECT_EQ(target.calls, (std::vector<std::string>{"front", "add 0: [" + b + "]"}));
    EXPECT_FALSE(std::filesystem::exists(ListFile("080000")));

    target.failAdd = false;
    target.calls.clear();
    WriteFile(ListFile("080002"), c + "\r\n");
    ASSERT_TRUE(PostMessage(kOpenEtaCaption, {WM_OPENETA, 0, 80002}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return target.calls.size() >= 2; }));
    EXPECT_EQ(target.calls, (std::vector<std::string>{"front", "import [" + c + "]"}));
}

TEST_F(OpenEtaFormTest, WhatASecondStartMeantForAnotherLibraryIsRefusedSayingWhichIsOpen)
{
    ASSERT_TRUE(form.Create());
    SetDataDir(library.string());
    const std::filesystem::path other = files / "other library";
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> calls;
    };
    const std::string open = "Velmora has the library in \"" + library.string() + "\" open";
    const std::vector<Case> cases = {
        // Another library: nothing of it is done, and the user hears which library is open.
        {{other.string(), b, c},
         {"front", "refuse " + open + ", so nothing was added or imported: the files were meant for the library in \"" +
                       other.string() + "\". Close Velmora and start it again with that library to add them there."}},
        {{other.string()},
         {"front", "refuse " + open + ". To open the library in \"" + other.string() +
                       "\", close Velmora and start it again with that library."}},
        // The library that is open, named in other words, and no library named at all.
        {{(library / "." / "").string(), b}, {"front", "add 0: [" + b + "]"}},
        {{b, c}, {"front", "add 0: [" + b + "]", "import [" + c + "]"}},
    };
    int second = 0;
    for (const Case& c : cases) {
        target.calls.clear();
        const HandOverResult result = HandOverToRunningInstance(c.arguments, QTime(14, 0, second++), appDir.str());
        ASSERT_TRUE(result.posted) << c.arguments.front();
        ASSERT_TRUE(ProcessEventsUntil([&] { return target.calls.size() >= c.calls.size(); }));
        test::DrainEvents();
        EXPECT_EQ(target.calls, c.calls) << c.arguments.front();
    }
    SetDataDir({});
}

} // namespace
} // namespace velmora
