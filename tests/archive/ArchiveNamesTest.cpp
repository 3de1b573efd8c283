#include "archive/ArchiveNames.h"

#include "store/LibraryFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace velmora::test {
namespace {

TEST(ArchiveNamesTest, SelectedItemsAlwaysEndInEta)
{
    const struct {
        const char* chosen;
        const char* archive;
    } cases[] = {
        {"photos", "photos.eta"},
        {"/home/u/photos", "/home/u/photos.eta"},
        {"a.et", "a.et.eta"},           // four characters: always extended
        {".eta", ".eta.eta"},           // four characters, even when they are ".eta"
        {"X.ETA", "X.ETA"},             // any letter case counts
        {"b.Eta", "b.Eta"},
        {"photos.eta", "photos.eta"},
        {"photos.etax", "photos.etax.eta"},
        {"", ".eta"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportArchiveName(c.chosen), c.archive) << c.chosen;
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

TEST(ArchiveNamesTest, TheTemplateIsRecognisedInAnyLetterCaseAndByAnyPath)
{
    const std::string appDir = GetAppDir();
    ASSERT_FALSE(appDir.empty());
    EXPECT_EQ(TemplateArchivePath(), appDir + "/template.tnt");
    EXPECT_TRUE(IsTemplateArchivePath(appDir + "/template.tnt"));
    EXPECT_TRUE(IsTemplateArchivePath(appDir + "/TEMPLATE.TNT"));
    EXPECT_TRUE(IsTemplateArchivePath(appDir + "/Template.Tnt"));
    EXPECT_TRUE(IsTemplateArchivePath(Upper(appDir) + "/template.tnt"));
    // The same file reached another way would be overwritten just the same.
    const std::filesystem::path folder(appDir);
    EXPECT_TRUE(IsTemplateArchivePath((folder / ".." / folder.filename() / "template.tnt").string()));

    EXPECT_FALSE(IsTemplateArchivePath(appDir + "/template.tnt.eta"));
    EXPECT_FALSE(IsTemplateArchivePath(appDir + "/other.tnt"));
    EXPECT_FALSE(IsTemplateArchivePath("/tmp/template.tnt"));
    EXPECT_FALSE(IsTemplateArchivePath(""));
}

} // namespace
} // namespace velmora::test
