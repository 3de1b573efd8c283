#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"

#include "catalogue/PrintItems.h"
#include "catalogue/PrintJob.h"
#include "catalogue/SaveToDisk.h"

#include <gtest/gtest.h>

#include <map>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class SaveTest : public CatalogueFixture {
protected:
    RecordingProgress progress;
    RecordingMessages messages;
    TempDir target;
};

TEST_F(SaveTest, SavedCopiesHoldTheItemsBytesUnderTheirNamesReplacingOldFiles)
{
    const std::string big = PatternBytes(1000001, 11);
    const int first = AddItem(big, "big.mpg");
    const int second = AddItem("small picture", "small.jpg");
    WriteFile(target / "small.jpg", std::string(100000, 'o'));   // replaced, not appended to

    SaveItemsToFolder(mainConn(), target.str(), {first, second}, progress, messages);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadFile(target / "big.mpg"), big);
    EXPECT_EQ(ReadFile(target / "small.jpg"), "small picture");
    EXPECT_EQ(progress.calls[0], "show Saving Files, Please Wait");
    EXPECT_EQ(progress.calls[1], "total Extracting Files 2");
    EXPECT_EQ(progress.calls[2], "item " + (target / "big.mpg").string() + " 3");
    EXPECT_EQ(progress.steps, 2);
    EXPECT_EQ(progress.calls.back(), "hide");

    // The same stored name twice: the second one's content is what stays.
    const int twin = AddItem("the twin", "small.jpg");
    SaveItemsToFolder(mainConn(), target.str() + "/", {second, twin}, progress, messages);
    EXPECT_EQ(ReadFile(target / "small.jpg"), "the twin");
}

TEST_F(SaveTest, AnItemThatCannotBeSavedIsReportedAndTheOthersAreSaved)
{
    const int first = AddItem("one", "one.jpg");
    const int blocked = AddItem("two", "two.jpg");
    const int broken = AddItem(PatternBytes(1200000, 4), "broken.avi");
    const int last = AddItem("three", "three.jpg");
    fs::create_directory(target / "two.jpg");   // a folder stands where the copy would go
    ObjectStore::ForThisThread().StoreConnection(1).Execute(
        SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 3", broken));

    SaveItemsToFolder(mainConn(), target.str(), {first, blocked, broken, last}, progress, messages);
    EXPECT_EQ(ReadFile(target / "one.jpg"), "one");
    EXPECT_EQ(ReadFile(target / "three.jpg"), "three");
    EXPECT_TRUE(fs::is_directory(target / "two.jpg"));
    EXPECT_FALSE(fs::exists(target / "broken.avi"));   // no short copy passes for a good one
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_NE(messages.shown[0].text.find("two.jpg"), std::string::npos);
    EXPECT_NE(messages.shown[1].text.find("broken.avi"), std::string::npos);
    EXPECT_EQ(messages.shown[0].flags, mb::kIconError);
}

TEST_F(SaveTest, StoredNamesCannotLeadOutOfTheChosenFolder)
{
    const fs::path inner = target / "inner";
    fs::create_directory(inner);
    const int escaping = AddItem("escaping", "../escape.jpg");
    const int windows = AddItem("windows", "..\\..\\win.jpg");
    const int dots = AddItem("dots", "..");
    SaveItemsToFolder(mainConn(), inner.string(), {escaping, windows, dots}, progress, messages);
    EXPECT_FALSE(fs::exists(target / "escape.jpg"));
    EXPECT_EQ(ReadFile(inner / "escape.jpg"), "escaping");
    EXPECT_EQ(ReadFile(inner / "win.jpg"), "windows");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(inner), fs::directory_iterator()), 2);
}

TEST_F(SaveTest, CancelStopsAfterTheCurrentItem)
{
    const int a = AddItem("a", "a.jpg");
    const int b = AddItem("b", "b.jpg");
    progress.cancelAfterChecks = 0;
    SaveItemsToFolder(mainConn(), target.str(), {a, b}, progress, messages);
    EXPECT_TRUE(fs::exists(target / "a.jpg"));
    EXPECT_FALSE(fs::exists(target / "b.jpg"));
}

// A print command stub in a folder of its own, with TMPDIR pointing at a fresh folder.
class PrintTest : public CatalogueFixture {
protected:
    void SetUp() override
    {
        CatalogueFixture::SetUp();
        if (const char* old = std::getenv("TMPDIR"))
            oldTmp = old;
        setenv("TMPDIR", tmp.str().c_str(), 1);
    }
    void TearDown() override
    {
        if (oldTmp)
            setenv("TMPDIR", oldTmp->c_str(), 1);
        else
            unsetenv("TMPDIR");
        unsetenv("VELMORA_PRINT_COMMAND");
        CatalogueFixture::TearDown();
    }
    void UseStub(const std::string& body, const std::string& arguments = "")
    {
        const fs::path stub = tools / "print-stub";
        WriteFile(stub, "#!/bin/sh\n" + body);
        fs::permissions(stub, fs::perms::owner_all);
        setenv("VELMORA_PRINT_COMMAND", (stub.string() + arguments).c_str(), 1);
    }
    bool TmpIsEmpty() { return fs::directory_iterator(tmp.path()) == fs::directory_iterator(); }

    TempDir tmp;
    TempDir tools;
    std::optional<std::string> oldTmp;
    RecordingProgress progress;
};

TEST_F(PrintTest, OnlyPrintablePicturesArePrintedFromTemporaryCopiesThatAreRemoved)
{
    // Logs each call's arguments and keeps a copy of what it was given.
    UseStub("for a in \"$@\"; do printf '%s\\n' \"$a\" >> " + (tools / "log").string() + "; done\n"
                "cp \"$3\" " + tools.str() + "/copy-$(basename \"$3\")\n",
            "  -d  office");
    const int movie = AddItem("movie", "clip.mpg");
    const int jpeg = AddItem(PatternBytes(600000, 8), "pic.jpg");
    const int wmf = AddItem("metafile", "drawing.wmf");
    const int bmp = AddItem("bitmap", "Photo.Bmp");

    PrintItems(mainConn(), {movie, jpeg, wmf, bmp}, progress);

    std::ifstream log(tools / "log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "-d");
    EXPECT_EQ(lines[1], "office");
    const fs::path printedJpeg = lines[2];
    const fs::path printedBmp = lines[5];
    EXPECT_EQ(printedJpeg.parent_path(), tmp.path());
    EXPECT_EQ(printedJpeg.filename().string().substr(0, 2), "tn");
    EXPECT_EQ(printedJpeg.extension(), ".JPG");
    EXPECT_EQ(printedBmp.extension(), ".BMP");
    EXPECT_EQ(ReadFile(tools / ("copy-" + printedJpeg.filename().string())), PatternBytes(600000, 8));
    EXPECT_EQ(ReadFile(tools / ("copy-" + printedBmp.filename().string())), "bitmap");
    EXPECT_TRUE(TmpIsEmpty());
    EXPECT_EQ(progress.calls[0], "show Printing Files, Please Wait");
    EXPECT_EQ(progress.calls[1], "total Printing Files 4");
    EXPECT_EQ(progress.steps, 4);
}

TEST_F(PrintTest, TheProgramsCopyOfAPictureIsPrintedUnderItsOwnExtension)
{
    UseStub("cp \"$1\" " + tools.str() + "/copy-$(basename \"$1\")\n");
    const int heic = AddItem("heic bytes", "IMG_0001.HEIC");
    const int jpeg = AddItem("jpeg bytes", "plain.jpg");
    std::vector<std::string> asked;
    const PrintCopyMaker maker = [&](const std::string& extension, const std::string& bytes) -> std::optional<PrintCopy> {
        asked.push_back(extension + " " + bytes);
        if (extension == ".HEIC")
            return PrintCopy{".PNG", "upright png"};
        return std::nullopt;
    };

    PrintItems(mainConn(), {heic, jpeg}, progress, {}, maker);

    EXPECT_EQ(asked, (std::vector<std::string>{".HEIC heic bytes", ".JPG jpeg bytes"}));
    std::map<std::string, std::string> printed;   // by extension
    for (const auto& entry : fs::directory_iterator(tools.path()))
        if (entry.path().filename().string().rfind("copy-", 0) == 0)
            printed[entry.path().extension().string()] = ReadFile(entry.path());
    EXPECT_EQ(printed, (std::map<std::string, std::string>{{".PNG", "upright png"}, {".JPG", "jpeg bytes"}}));
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(PrintTest, CancelTerminatesTheRunningCommandAndStillRemovesTheCopy)
{
    const fs::path pidFile = tools / "pid";
    UseStub("echo $$ > " + pidFile.string() + ".tmp; mv " + pidFile.string() + ".tmp " + pidFile.string() +
            "\nexec sleep 60\n");
    const int first = AddItem("one", "one.gif");
    const int second = AddItem("two", "two.gif");
    // Cancel is pressed once the command is seen running.
    PrintItems(mainConn(), {first, second}, progress, [&] {
        if (fs::exists(pidFile))
            progress.CancelProgress();
    });
    ASSERT_TRUE(fs::exists(pidFile));
    const pid_t pid = std::stoi(ReadFile(pidFile));
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(TmpIsEmpty());
    EXPECT_EQ(progress.steps, 1);   // the walk stopped after the first item
}

TEST_F(PrintTest, ACommandThatCannotStartLeavesNoCopyBehind)
{
    setenv("VELMORA_PRINT_COMMAND", (tools / "no-such-command").c_str(), 1);
    const int item = AddItem("x", "x.jpeg");
    PrintItems(mainConn(), {item}, progress);
    EXPECT_TRUE(TmpIsEmpty());
}

TEST(PrintCommandTest, DefaultsToLpAndSplitsTheOverrideAtBlanks)
{
    unsetenv("VELMORA_PRINT_COMMAND");
    EXPECT_EQ(PrintCommand(), std::vector<std::string>{"lp"});
    setenv("VELMORA_PRINT_COMMAND", "  ", 1);
    EXPECT_EQ(PrintCommand(), std::vector<std::string>{"lp"});
    setenv("VELMORA_PRINT_COMMAND", "lpr  -P office", 1);
    EXPECT_EQ(PrintCommand(), (std::vector<std::string>{"lpr", "-P", "office"}));
    unsetenv("VELMORA_PRINT_COMMAND");
    EXPECT_TRUE(IsPrintableFile("a.JPEG"));
    EXPECT_TRUE(IsPrintableFile("a.gif"));
    EXPECT_FALSE(IsPrintableFile("a.wmf"));
    EXPECT_FALSE(IsPrintableFile("a.emf"));
}

} // namespace
} // namespace velmora::test
