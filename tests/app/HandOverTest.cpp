#include "app/HandOver.h"
#include "app/HandOverProtocol.h"
#include "platform/MessageWindow.h"
#include "platform/WindowMessages.h"

#include "HandOverFolders.h"

#include <gtest/gtest.h>

#include <QTime>

#include <filesystem>
#include <vector>

namespace velmora {
namespace {

using test::ProcessEventsUntil;
using test::ReadFile;
using test::WriteFile;

TEST(ListFileNameTest, SixDigitsOfTheLocalTimeTravelAsANumber)
{
    struct Case {
        QTime time;
        std::string name;
        std::int64_t number;
    };
    for (const Case& c : {Case{QTime(9, 30, 15), "093015", 93015}, Case{QTime(0, 0, 7), "000007", 7},
                          Case{QTime(0, 0, 0), "000000", 0}, Case{QTime(23, 59, 59), "235959", 235959}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ListFileName(c.time), c.name);
        EXPECT_EQ(ListFileNumber(c.name), c.number);
        EXPECT_EQ(ListFileNameFromNumber(c.number), c.name);
    }
    // Numbers no list file can have name no file at all.
    EXPECT_EQ(ListFileNameFromNumber(-1), std::nullopt);
    EXPECT_EQ(ListFileNameFromNumber(1000000), std::nullopt);
    EXPECT_THROW(ListFileName(QTime()), std::invalid_argument);
}

// The running instance's hand-over window, reduced to recording what it is posted.
class HandOverTest : public ::testing::Test, protected test::HandOverFolders {
protected:
    void SetUp() override
    {
        test::CoreApplication();
        std::filesystem::create_directories(pictures);
        QObject::connect(&window, &MessageWindow::MessageReceived,
                         [this](quint32 m, quint64 w, qint64 l) { posted.push_back({m, w, l}); });
    }

    bool WaitForPosts(std::size_t count)
    {
        const bool arrived = ProcessEventsUntil([&] { return posted.size() >= count; });
        test::DrainEvents();
        return arrived && posted.size() == count;
    }

    std::string pictures = (files / "pictures").string();
    MessageWindow window{kOpenEtaCaption};
    std::vector<WindowMessage> posted;
};

TEST_F(HandOverTest, QualifyingArgumentsGoToTheListFileInOrderThenTheMessageIsPosted)
{
    ASSERT_TRUE(window.Create());
    const HandOverResult result = HandOverToRunningInstance(
        {a, "-embedding", b, (files / "notes.txt").string(), c, pictures}, QTime(9, 30, 15),
        appDir.str());

    EXPECT_EQ(result.listFile, ListFile("093015").string());
    EXPECT_EQ(result.written, 5);
    EXPECT_TRUE(result.windowFound);
    EXPECT_TRUE(result.posted);
    // The data folder this start named comes first, so that the running instance adds
    // nothing meant for another library.
    EXPECT_EQ(ReadFile(ListFile("093015")), "DataFolder=" + (files / "notes.txt").string() + "\r\n" + a + "\r\n" + b +
                                                "\r\n" + c + "\r\n" + pictures + "\r\n");

    ASSERT_TRUE(WaitForPosts(1));
    EXPECT_EQ(posted[0].message, WM_OPENETA);
    EXPECT_EQ(posted[0].message, 0x81ABu);
    EXPECT_EQ(posted[0].wParam, 0u);
    EXPECT_EQ(posted[0].lParam, 93015);
}

TEST_F(HandOverTest, ListFileJustAfterMidnightIsPostedAsASmallNumber)
{
    ASSERT_TRUE(window.Create());
    const HandOverResult result = HandOverToRunningInstance({b}, QTime(0, 0, 7), appDir.str());
    EXPECT_TRUE(result.posted);
    EXPECT_TRUE(std::filesystem::exists(ListFile("000007")));
    ASSERT_TRUE(WaitForPosts(1));
    EXPECT_EQ(posted[0].lParam, 7);
}

TEST_F(HandOverTest, RelativePathsAreHandedOverAsTheAbsolutePathsTheyMeanHere)
{
    ASSERT_TRUE(window.Create());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(files.path());
    const HandOverResult result = HandOverToRunningInstance({"b.jpg", "pictures", "a.eta"},
                                                            QTime(12, 0, 0), appDir.str());
    std::filesystem::current_path(previous);

    EXPECT_TRUE(result.posted);
    EXPECT_EQ(ReadFile(ListFile("120000")), b + "\r\n" + pictures + "\r\n" + a + "\r\n");
}

TEST_F(HandOverTest, TwoHandOversInTheSameSecondShareTheListFile)
{
    ASSERT_TRUE(window.Create());
    const HandOverResult first = HandOverToRunningInstance({a, b, c}, QTime(9, 30, 15), appDir.str());
    const HandOverResult second = HandOverToRunningInstance({b}, QTime(9, 30, 15), appDir.str());

    EXPECT_EQ(first.listFile, second.listFile);
    EXPECT_TRUE(first.posted);
    EXPECT_TRUE(second.posted);
    // The later start emptied what the earlier one wrote.
    EXPECT_EQ(ReadFile(ListFile("093015")), b + "\r\n");
    ASSERT_TRUE(WaitForPosts(2));
    EXPECT_EQ(posted[0].lParam, 93015);
    EXPECT_EQ(posted[1].lParam, 93015);
}

TEST_F(HandOverTest, NothingHandedOverLeavesNoListFileAndPostsNothing)
{
    // No running window: nothing is written or posted.
    HandOverResult result = HandOverToRunningInstance({a, b}, QTime(10, 0, 0), appDir.str());
    EXPECT_FALSE(result.windowFound);
    EXPECT_FALSE(result.posted);
    EXPECT_EQ(result.written, 0);
    EXPECT_FALSE(std::filesystem::exists(ListFile("100000")));

    // A plain second start (nothing qualifies): no message, and a list file another
    // start wrote in the same second is left for the running instance to read.
    ASSERT_TRUE(window.Create());
    WriteFile(ListFile("100001"), b + "\r\n");
    result = HandOverToRunningInstance({(files / "notes.txt").string(), "-embedding"}, QTime(10, 0, 1), appDir.str());
    EXPECT_FALSE(result.posted);
    EXPECT_EQ(result.written, 0);
    EXPECT_EQ(ReadFile(ListFile("100001")), b + "\r\n");
    test::DrainEvents();
    EXPECT_TRUE(posted.empty());
    // An empty folder given alone names a library to make, not a folder to add: only
    // the library goes over, for the running instance to say which one it has open.
    ASSERT_TRUE(std::filesystem::is_empty(pictures));
    result = HandOverToRunningInstance({pictures}, QTime(10, 0, 2), appDir.str());
    EXPECT_TRUE(result.posted);
    EXPECT_EQ(ReadFile(ListFile("100002")), "DataFolder=" + pictures + "\r\n");
}

TEST_F(HandOverTest, UnwritableProgramFolderPostsNothing)
{
    ASSERT_TRUE(window.Create());
    const std::string missingFolder = (appDir / "gone").string();
    const HandOverResult result = HandOverToRunningInstance({a}, QTime(11, 0, 0), missingFolder);
    EXPECT_FALSE(result.posted);
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
    test::DrainEvents();
    EXPECT_TRUE(posted.empty());
}

} // namespace
} // namespace velmora
