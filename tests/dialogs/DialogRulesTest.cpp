#include "dialogs/ChangePasswordChecks.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/PasswordText.h"
#include "ui/MessageBoxes.h"
#include "ui/MessageFlags.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(MessageFlagsTest, ButtonsComeFromTheLowFourBits)
{
    struct Case {
        int flags;
        bool ok, yes, no, cancel;
    };
    const Case cases[] = {
        {0, true, false, false, false},   {1, true, false, false, true},   {3, false, true, true, true},
        {4, false, true, true, false},    {16, true, false, false, false}, {36, false, true, true, false},
        {52, false, true, true, false},   {65, true, false, false, true},  {2, false, false, false, false},
        {5, false, false, false, false},  {15, false, false, false, false},
    };
    for (const Case& c : cases) {
        const MessageButtons b = ButtonsForFlags(c.flags);
        EXPECT_EQ(b.ok, c.ok) << c.flags;
        EXPECT_EQ(b.yes, c.yes) << c.flags;
        EXPECT_EQ(b.no, c.no) << c.flags;
        EXPECT_EQ(b.cancel, c.cancel) << c.flags;
    }
}

TEST(MessageFlagsTest, IconComesFromTheWholeValue)
{
    const std::pair<int, MessageIcon> cases[] = {
        {0, MessageIcon::Information},  {15, MessageIcon::Information}, {16, MessageIcon::Error},
        {31, MessageIcon::Error},       {32, MessageIcon::Question},    {36, MessageIcon::Question},
        {47, MessageIcon::Question},    {48, MessageIcon::Warning},     {52, MessageIcon::Warning},
        {63, MessageIcon::Warning},     {64, MessageIcon::Information}, {68, MessageIcon::Information},
        {-1, MessageIcon::Information},
    };
    for (const auto& [flags, icon] : cases)
        EXPECT_EQ(IconForFlags(flags), icon) << flags;
}

TEST(MessageFlagsTest, EscapeAnswersNoOnlyWhereNoIsOffered)
{
    EXPECT_EQ(EscapeResult(0), mb::kResultCancel);
    EXPECT_EQ(EscapeResult(1), mb::kResultCancel);
    EXPECT_EQ(EscapeResult(3), mb::kResultNo);
    EXPECT_EQ(EscapeResult(36), mb::kResultNo);
    EXPECT_EQ(EscapeResult(52), mb::kResultNo);
    EXPECT_EQ(EscapeResult(2), mb::kResultCancel);
}

TEST(DialogPlacementTest, MessageBoxIsCentredOnItsOwnerAndHeldOnTheScreen)
{
    const ScreenRect screen{0, 0, 1024, 768};
    struct Case {
        const char* what;
        ScreenRect owner;
        int width, height;
        WindowPosition expected;
    };
    const Case cases[] = {
        {"centred", {100, 100, 800, 600}, 300, 150, {100 + 400 - 150, 100 + 300 - 75}},
        {"odd sizes divide down", {0, 0, 801, 601}, 301, 151, {400 - 150, 300 - 75}},
        {"past the right edge ends at it", {700, 100, 400, 300}, 500, 100, {1024 - 500, 200}},
        {"past the bottom edge ends at it", {100, 600, 400, 300}, 200, 200, {200, 768 - 200}},
        {"left of the screen starts at 0", {-600, 100, 400, 300}, 200, 100, {0, 200}},
        {"above the screen starts at 0", {100, -500, 400, 300}, 200, 100, {200, 0}},
        {"wider than the screen starts at 0", {0, 0, 400, 300}, 2000, 100, {0, 100}},
        {"exactly at the edge stays", {824, 0, 200, 200}, 200, 200, {824, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageBoxPosition(c.owner, c.width, c.height, screen), c.expected) << c.what;
}

TEST(DialogPlacementTest, MessageBoxIsHeldOnAScreenThatDoesNotStartAtTheOrigin)
{
    const ScreenRect second{1920, 0, 1280, 1024};
    EXPECT_EQ(MessageBoxPosition({3000, 100, 400, 300}, 300, 100, second),
              (WindowPosition{3200 - 300, 200}));
    EXPECT_EQ(MessageBoxPosition({1500, 100, 400, 300}, 300, 100, second), (WindowPosition{1920, 200}));
}

TEST(DialogPlacementTest, ProgressWindowIsCentredAndNotHeldOnTheScreen)
{
    EXPECT_EQ(CentredPosition({100, 100, 800, 600}, 300, 150), (WindowPosition{350, 325}));
    EXPECT_EQ(CentredPosition({0, 0, 1023, 767}, 300, 150), (WindowPosition{361, 308}));
    // A window larger than its area starts before it, whatever the screen.
    EXPECT_EQ(CentredPosition({0, 0, 200, 100}, 300, 150), (WindowPosition{-50, -25}));
}

TEST(PasswordTextTest, BlanksAndControlCharactersGoFromBothEndsOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {" pw ", "pw"},
        {"pw", "pw"},
        {"\t\r\npw\x01\x1f", "pw"},
        {"p w", "p w"},
        {"   ", ""},
        {"", ""},
        {"  p\xc3\xa4sswort\xc2\xa0 ", "p\xc3\xa4sswort\xc2\xa0"},   // bytes above 127 are kept
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(TrimPasswordEntry(typed), expected) << '"' << typed << '"';
}

TEST(ChangePasswordChecksTest, ChecksRunInOrderAndNameTheFieldToFix)
{
    using F = ChangePasswordField;
    const std::string incorrect = "The current password you entered is incorrect. Please re-enter.";
    const std::string empty = "You must enter a password.";
    const std::string mismatch = "Password does not match confirmation. Please re-enter.";
    struct Case {
        const char* what;
        std::string current, newPassword, confirmation;
        std::string message;
        F focus;
    };
    const Case cases[] = {
        {"wrong current", "wrong", "new", "new", incorrect, F::CurrentPassword},
        {"current with a trailing blank", "old ", "new", "new", incorrect, F::CurrentPassword},
        {"current in other case", "OLD", "new", "new", incorrect, F::CurrentPassword},
        {"current checked before all else", "", "", "x", incorrect, F::CurrentPassword},
        {"empty new", "old", "", "", empty, F::NewPassword},
        {"mismatch", "old", "new", "New", mismatch, F::NewPassword},
        {"mismatch by a blank", "old", "new", "new ", mismatch, F::NewPassword},
        {"new with a leading blank", "old", " new", " new",
         "A password cannot begin or end with a blank. Please re-enter.", F::NewPassword},
    };
    for (const Case& c : cases) {
        const auto problem = CheckChangePassword("old", c.current, c.newPassword, c.confirmation);
        ASSERT_TRUE(problem.has_value()) << c.what;
        EXPECT_EQ(problem->message, c.message) << c.what;
        EXPECT_EQ(problem->focus, c.focus) << c.what;
    }
}

TEST(ChangePasswordChecksTest, AnEntryThatPassesEveryCheckGoesAhead)
{
    EXPECT_FALSE(CheckChangePassword("old", "old", "new secret", "new secret").has_value());
    // The new password may equal the old one; it is still a valid change.
    EXPECT_FALSE(CheckChangePassword("old", "old", "old", "old").has_value());
}

} // namespace
} // namespace velmora
