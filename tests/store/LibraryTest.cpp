#include "support/LibraryFixture.h"
#include "support/RecordingProgress.h"

#include "store/Base64.h"
#include "store/CheckValue.h"
#include "store/LibraryCheck.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"
#include "store/PasswordPolicy.h"
#include "store/Query.h"
#include "store/TableRow.h"
#include "store/SqlText.h"
#include "ui/ProgressRoutines.h"

#include <gmock/gmock.h>

namespace velmora::test {
namespace {

using ::testing::IsEmpty;

std::string OptionText(const char* column)
{
    db::Query q(ObjectStore::ForThisThread().MainConnection(), "Select * from options");
    return q.AsString(column);
}

// Opens the library as a new start of the program would, with the gate's double call.
bool OpenWith(const std::string& password, std::unique_ptr<Library>& out)
{
    out = std::make_unique<Library>();
    out->Open();
    return out->VerifyPassword(password, true) || out->VerifyPassword(password, false);
}

class LibraryTest : public LibraryFixture {};

TEST_F(LibraryTest, TheFirstPasswordBecomesTheLibrarysPassword)
{
    const std::string check = OptionText("opt_pass");
    EXPECT_EQ(check.size(), 32u);
    EXPECT_EQ(check, CheckValueFor(kPassword));
    EXPECT_EQ(LibraryPassword(), kPassword);
    ASSERT_NE(library->LibraryCipher(), nullptr);

    std::unique_ptr<Library> again;
    EXPECT_FALSE(OpenWith("Correct horse", again));
    EXPECT_EQ(LibraryPassword(), kPassword) << "a refused password changes nothing";
    EXPECT_TRUE(OpenWith(kPassword, again));

    SetLibraryPassword({}, 0);
    Library windowless;
    EXPECT_TRUE(windowless.LoadStoredPassword());
    EXPECT_EQ(LibraryPassword(), kPassword);
}

TEST_F(LibraryTest, PasswordsThatWouldLeaveContentReadableAreRefused)
{
    for (const char* bad : {"", "zerkat", " lead", "trail ", "\ttab"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(PasswordRefusal(bad).has_value());
    }
    EXPECT_FALSE(PasswordRefusal("in between is fine").has_value());

    TempDir other;
    MakeEmptyLibrary(other.path());
    SetDataDir(other.str());
    Library fresh;
    fresh.Open();
    EXPECT_THROW(fresh.VerifyPassword("", true), PasswordRefused);
    EXPECT_THROW(fresh.VerifyPassword("zerkat", true), PasswordRefused);
    db::Query options(fresh.MainConnection(), "Select * from options");
    EXPECT_TRUE(options.AsString("opt_pass").empty());
}

TEST_F(LibraryTest, AnOlderLibrarysRawCheckValueStillOpens)
{
    const std::string raw = Base64ToStr(OptionText("opt_pass"));
    ASSERT_EQ(raw.size(), 24u);
    db::TableRow("options").Set("opt_pass", raw).Update(ObjectStore::ForThisThread().MainConnection(), "1 = 1");

    std::unique_ptr<Library> again;
    EXPECT_TRUE(OpenWith(kPassword, again));
    EXPECT_FALSE(OpenWith("wrong", again));
}

TEST_F(LibraryTest, GarbageCheckValuesRefuseEveryPasswordWithoutHarm)
{
    const int id = AddItem("content");
    ExecuteMain("Update options set opt_pass = 'not a check value at all', opt_serial = '@@@'");
    std::unique_ptr<Library> again;
    EXPECT_FALSE(OpenWith(kPassword, again));
    SetLibraryPassword({}, 0);
    Library windowless;
    EXPECT_FALSE(windowless.LoadStoredPassword());
    EXPECT_EQ(LibraryPassword(), "");
    SetLibraryPassword(kPassword, 0);
    EXPECT_EQ(ReadItem(id), "content");
}

TEST_F(LibraryTest, AChangedPasswordReEncryptsEveryItem)
{
    const std::string big = PatternBytes(1100000, 3);
    const int a = AddItem(big, "movie.mpg");
    const int b = AddItem("", "empty.wav");
    RecordingProgress progress;
    library->ChangePassword("new secret", progress);

    EXPECT_EQ(progress.calls.front(), "show Re-Encrypting nocancel");
    EXPECT_THAT(progress.CallsStartingWith("total "),
                ::testing::ElementsAre("total Re-encrypting database contents, please wait. 2"));
    EXPECT_THAT(progress.CallsStartingWith("item "), ::testing::ElementsAre("item movie.mpg 3", "item empty.wav 1"));
    EXPECT_EQ(progress.calls.back(), "hide");

    std::unique_ptr<Library> again;
    EXPECT_FALSE(OpenWith(kPassword, again));
    EXPECT_TRUE(OpenWith("new secret", again));
    EXPECT_EQ(ReadItem(a), big);
    EXPECT_EQ(ReadItem(b), "");
    SetLibraryPassword({}, 0);
    EXPECT_TRUE(again->LoadStoredPassword());
    EXPECT_EQ(LibraryPassword(), "new secret");
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(LibraryTest, ChangingThePasswordOfAnEmptyLibraryRewritesOnlyTheCheckValues)
{
    const std::string caption = OptionText("opt_caption");
    RecordingProgress progress;
    library->ChangePassword("other", progress);
    EXPECT_EQ(OptionText("opt_pass"), CheckValueFor("other"));
    EXPECT_EQ(OptionText("opt_caption"), caption);
    const auto totals = progress.CallsStartingWith("total ");
    ASSERT_FALSE(totals.empty());
    EXPECT_THAT(totals.back(), ::testing::EndsWith(" 0"));
    EXPECT_THROW(library->ChangePassword(" other", progress), PasswordRefused);
}

TEST_F(LibraryTest, AnInterruptedChangeReadsEverythingAndIsFinishedAtTheNextOpen)
{
    std::vector<std::pair<int, std::string>> items;
    for (unsigned i = 0; i < 4; ++i) {
        const std::string content = PatternBytes(300000 * i + 5, i);
        items.emplace_back(AddItem(content), content);
    }
    RecordingProgress progress;
    progress.failOnItem = 3;   // two items re-encrypted, then the power goes
    EXPECT_THROW(library->ChangePassword("after", progress), std::runtime_error);
    EXPECT_EQ(progress.calls.back(), "hide");

    // Either password opens the library in its mixed state, and every item reads.
    for (const char* password : {kPassword, "after"}) {
        SCOPED_TRACE(password);
        SetLibraryPassword({}, 0);
        std::unique_ptr<Library> next;
        ASSERT_TRUE(OpenWith(password, next));
        EXPECT_TRUE(next->PasswordChangePending());
        for (const auto& [id, content] : items)
            EXPECT_EQ(ReadItem(id), content);
    }

    std::unique_ptr<Library> next;
    ASSERT_TRUE(OpenWith(kPassword, next));
    NullProgress quiet;
    next->FinishPasswordChange(quiet);
    EXPECT_FALSE(next->PasswordChangePending());
    EXPECT_FALSE(OpenWith(kPassword, next));
    EXPECT_TRUE(OpenWith("after", next));
    EXPECT_FALSE(next->PasswordChangePending());
    for (const auto& [id, content] : items)
        EXPECT_EQ(ReadItem(id), content);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(LibraryTest, OpeningFinishesAnInterruptedChangeUnderTheProgressWindow)
{
    const std::string content = PatternBytes(1300000, 7);
    const int id = AddItem(content);
    AddItem("second", "second.jpg");
    RecordingProgress cut;
    cut.failOnItem = 2;
    EXPECT_THROW(library->ChangePassword("after", cut), std::runtime_error);

    SetLibraryPassword({}, 0);
    std::unique_ptr<Library> next;
    ASSERT_TRUE(OpenWith(kPassword, next));
    RecordingProgress progress;
    const RecoveryReport report = next->RecoverInterruptedWork(progress);
    EXPECT_TRUE(report.passwordChangeFinished);
    EXPECT_EQ(progress.calls.front(), "show Re-Encrypting nocancel");
    EXPECT_EQ(progress.calls.back(), "hide");
    EXPECT_FALSE(OpenWith(kPassword, next));
    ASSERT_TRUE(OpenWith("after", next));
    EXPECT_EQ(ReadItem(id), content);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(LibraryTest, TheCheckFindsAChunkLeftUnderAnEarlierKey)
{
    const int id = AddItem(PatternBytes(1200000, 8));
    NullProgress quiet;
    library->ChangePassword("after", quiet);
    ASSERT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());

    // What an add that slipped past the change would leave: a chunk still under the old key.
    ObjectStore::ForThisThread().StoreConnection(1).Execute(
        SqlFormat("Update recobject set ro_keygen = 0 where ro_record = %d and ro_chunk = 2", id));
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()),
                ::testing::ElementsAre("item " + std::to_string(id) +
                                       ": 1 chunk(s) in store 1 are under key generation 0, not the library's 1"));
}

} // namespace
} // namespace velmora::test
