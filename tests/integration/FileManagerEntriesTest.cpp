// The file managers' entries as the user's data folder holds them, after the menu text
// of the settings changed: a shipped service menu and script in a data folder of the
// test's own.
#include "integration/FileManagerEntries.h"

#include "store/MediaExtensions.h"
#include "support/TestSupport.h"

#include <QMimeDatabase>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

fs::path Shipped(const std::string& name)
{
    return fs::path(VELMORA_SOURCE_DIR) / "data" / "filemanager" / name;
}

class FileManagerEntriesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"kio/servicemenus", "kservices5/ServiceMenus"}) {
            fs::create_directories(system / folder);
            fs::copy_file(Shipped("velmora-add-files.desktop"), system / folder / kServiceMenuName);
        }
        fs::create_directories((system / kInstalledScript).parent_path());
        fs::copy_file(Shipped("nautilus/Add To Velmora"), system / kInstalledScript);
        // The user put the script into GNOME Files' script folder, as the README says.
        fs::create_directories(scripts);
        fs::create_symlink(system / kInstalledScript, scripts / "Add To Velmora");
    }

    FileManagerEntryPaths Paths() const { return {user.str(), {(user / "elsewhere").string(), system.str()}}; }

    TempDir system;
    TempDir user;
    fs::path scripts = user / "nautilus" / "scripts";
};

TEST_F(FileManagerEntriesTest, TheMenuTextNamesDolphinsEntryAndGnomeFilesScript)
{
    FollowMenuText("Ins Versteck", Paths());
    for (const char* folder : {"kio/servicemenus", "kservices5/ServiceMenus"}) {
        const fs::path copy = user / folder / kServiceMenuName;
        const std::string text = ReadFile(copy);
        // Both names Dolphin shows, the rest as installed.
        EXPECT_EQ(text.find("Name=Add To Velmora"), std::string::npos) << text;
        EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos) << text;
        EXPECT_NE(text.find("Name=Ins Versteck\nIcon=velmora\nExec=velmora-add-files %F"), std::string::npos) << text;
        EXPECT_NE(fs::status(copy).permissions() & fs::perms::owner_exec, fs::perms::none);
    }
    EXPECT_TRUE(fs::is_symlink(scripts / "Ins Versteck"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(scripts / "Add To Velmora")));

    // Back to the default: the installed menu serves again, and the script follows.
    FollowMenuText("Add To Velmora", Paths());
    EXPECT_FALSE(fs::exists(user / "kio/servicemenus" / kServiceMenuName));
    EXPECT_FALSE(fs::exists(user / "kservices5/ServiceMenus" / kServiceMenuName));
    EXPECT_TRUE(fs::is_symlink(scripts / "Add To Velmora"));
}

TEST_F(FileManagerEntriesTest, NoScriptOfTheUsersIsTakenOrReplaced)
{
    WriteFile(scripts / "Resize Pictures", "#!/bin/sh\nmogrify \"$@\"\n");
    fs::create_directories(scripts / "Send");   // a folder of scripts
    WriteFile(scripts / "Send" / "Elsewhere", "");
    FollowMenuText("Resize Pictures", Paths());
    EXPECT_EQ(ReadFile(scripts / "Resize Pictures"), "#!/bin/sh\nmogrify \"$@\"\n");
    EXPECT_TRUE(fs::is_symlink(scripts / "Add To Velmora"));

    // A "/" cannot be in a file name.
    FollowMenuText("Photos/Music", Paths());
    EXPECT_TRUE(fs::is_symlink(scripts / "Photos-Music"));
    EXPECT_TRUE(fs::is_directory(scripts / "Send"));
}

// KDE offers the entry on the types its service menu names: the type the desktop's
// database gives every accepted extension is among them.
TEST(FileManagerMenuTypesTest, TheServiceMenuNamesTheTypeOfEveryAcceptedExtension)
{
    const std::string menu = ReadFile(Shipped("velmora-add-files.desktop"));
    const auto line = menu.find("\nMimeType=");
    ASSERT_NE(line, std::string::npos);
    const std::string types = ";" + menu.substr(line + 10, menu.find('\n', line + 1) - line - 10);
    const QMimeDatabase database;
    for (const MediaType& type : MediaTypes()) {
        const QString name = QStringLiteral("x") + QString::fromLatin1(type.extension.data(), type.extension.size());
        const QMimeType mime = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        if (mime.isDefault())
            continue;   // the desktop knows no type for it (".IFO", ".RMI"): nothing to name
        EXPECT_NE(types.find(";" + mime.name().toStdString() + ";"), std::string::npos)
            << type.extension << " is " << mime.name().toStdString();
    }
}

} // namespace
} // namespace velmora
