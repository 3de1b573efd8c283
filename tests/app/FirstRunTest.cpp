#include "app/FirstRun.h"

#include "store/LibraryFiles.h"
#include "store/NewLibrary.h"

#include "dialogs/DialogTestDoubles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::RecordingMessageBoxes;
using test::RunProgram;
using test::TempDir;

TEST(FirstRunTest, AFolderWithoutALibraryIsOfferedAndMadeOnYesOnly)
{
    TempDir dir;
    const fs::path missing = dir / "vault";
    struct Case {
        const char* what;
        int answer;
        bool createFails;
        NewLibraryOutcome outcome;
    };
    for (const Case& c : {Case{"yes", mb::kResultYes, false, NewLibraryOutcome::Created},
                          Case{"no", mb::kResultNo, false, NewLibraryOutcome::Declined},
                          Case{"yes, but it cannot be made", mb::kResultYes, true, NewLibraryOutcome::Failed}}) {
        SCOPED_TRACE(c.what);
        RecordingMessageBoxes boxes;
        boxes.answers = {c.answer};
        std::vector<std::string> made;
        const NewLibraryOutcome outcome = OfferNewLibrary(missing.string() + "/", boxes, [&](const std::string& folder) {
            made.push_back(folder);
            if (c.createFails)
                throw std::runtime_error("the disk is full");
        });
        EXPECT_EQ(outcome, c.outcome);
        ASSERT_GE(boxes.messages.size(), 1u);
        EXPECT_EQ(boxes.messages[0].text,
                  "There is no Velmora library in " + missing.string() + ". Create a new library there?");
        EXPECT_EQ(boxes.messages[0].flags, 36);
        EXPECT_EQ(made, c.answer == mb::kResultYes ? std::vector<std::string>{missing.string()}
                                                   : std::vector<std::string>{});
        if (c.createFails) {
            ASSERT_EQ(boxes.messages.size(), 2u);
            EXPECT_EQ(boxes.messages[1].text,
                      "Unable to create a Velmora library in " + missing.string() + ": the disk is full");
            EXPECT_EQ(boxes.messages[1].flags, mb::kIconError);
        } else {
            EXPECT_EQ(boxes.messages.size(), 1u);
        }
    }

    // A folder that holds a library is simply opened; a relative name is shown absolute.
    test::WriteFile(dir / kMainDatabaseName, "x");
    RecordingMessageBoxes boxes;
    EXPECT_EQ(OfferNewLibrary(dir.str(), boxes, [](const std::string&) { FAIL() << "made again"; }),
              NewLibraryOutcome::Exists);
    EXPECT_TRUE(boxes.messages.empty());

    const auto previous = fs::current_path();
    fs::current_path(dir.path());
    boxes.answers = {mb::kResultNo};
    OfferNewLibrary("relative", boxes, [](const std::string&) {});
    fs::current_path(previous);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text,
              "There is no Velmora library in " + (dir / "relative").string() + ". Create a new library there?");
}

TEST(FirstRunTest, YesMakesALibraryWhoseFirstPasswordIsStillToCome)
{
    TempDir dir;
    const fs::path folder = dir / "new" / "vault";
    RecordingMessageBoxes boxes;
    boxes.answers = {mb::kResultYes};
    EXPECT_EQ(OfferNewLibrary(folder.string(), boxes, CreateLibrary), NewLibraryOutcome::Created);
    EXPECT_TRUE(fs::exists(folder / kMainDatabaseName));
    // Whatever password comes first is taken; the next start must give the same one.
    const auto opened = RunProgram("velmora-tool", {"ls", "--data", folder.string()},
                                   {{"VELMORA_PASSWORD", "the first one given"}});
    EXPECT_EQ(opened.exitCode, 0) << opened.err;
    const auto other = RunProgram("velmora-tool", {"ls", "--data", folder.string()},
                                  {{"VELMORA_PASSWORD", "another one"}});
    EXPECT_NE(other.exitCode, 0);
}

} // namespace
} // namespace velmora
