#include "integration/FileAssociation.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::ProcessResult;
using velmora::test::ReadFile;
using velmora::test::RunProgram;
using velmora::test::TempDir;
using velmora::test::WriteFile;

namespace {

std::string ToolPath(const char* tool)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(tool)).toStdString();
}

TEST(FileAssociationTest, TheArchiveDefaultIsSetAndEveryOtherLineKept)
{
    const std::string ours = std::string(kArchiveMimeType) + "=" + kArchiveDesktopId;
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"no file yet", "", "[Default Applications]\n" + ours + "\n"},
        {"other sections only", "[Added Associations]\ntext/plain=gedit.desktop;\n",
         "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n" + ours + "\n"},
        {"defaults of other types",
         "[Default Applications]\ntext/plain=gedit.desktop\n\n[Removed Associations]\nimage/png=x.desktop;\n",
         "[Default Applications]\ntext/plain=gedit.desktop\n" + ours + "\n\n[Removed Associations]\nimage/png=x.desktop;\n"},
        {"another program's default replaced",
         "[Default Applications]\n" + std::string(kArchiveMimeType) + "=other.desktop\ntext/plain=gedit.desktop\n",
         "[Default Applications]\n" + ours + "\ntext/plain=gedit.desktop\n"},
        {"already ours", "[Default Applications]\n" + ours + "\n", "[Default Applications]\n" + ours + "\n"},
        {"the type's key in another section is not the default",
         "[Added Associations]\n" + std::string(kArchiveMimeType) + "=other.desktop;\n",
         "[Added Associations]\n" + std::string(kArchiveMimeType) + "=other.desktop;\n\n[Default Applications]\n" +
             ours + "\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithArchiveDefault(c.before), c.after) << c.name;
}

TEST(FileAssociationTest, TakingTheDefaultAwayKeepsEveryOtherEntry)
{
    const std::string type = kArchiveMimeType;
    const std::string ours = type + "=" + kArchiveDesktopId;
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"the start's own file", "[Default Applications]\n" + ours + "\n", "[Default Applications]\n"},
        {"other types kept", "[Default Applications]\ntext/plain=gedit.desktop\n" + ours + "\n",
         "[Default Applications]\ntext/plain=gedit.desktop\n"},
        {"one of a list", "[Added Associations]\n" + type + "=other.desktop;" + kArchiveDesktopId + ";\n",
         "[Added Associations]\n" + type + "=other.desktop;\n"},
        {"another program's default kept", "[Default Applications]\n" + type + "=other.desktop\n",
         "[Default Applications]\n" + type + "=other.desktop\n"},
        // Untouched, byte for byte, when nothing of ours is in it.
        {"no line break at the end", "[Default Applications]\ntext/plain=gedit.desktop",
         "[Default Applications]\ntext/plain=gedit.desktop"},
        {"empty", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithoutArchiveEntry(c.before), c.after) << c.name;
}

// What a start wrote for its user goes again, with the MIME database and the desktop's
// cache made for it; another program's type and entry survive in the rebuilt caches.
TEST(FileAssociationTest, UnregisteringLeavesTheUsersFoldersAsTheyWere)
{
    ASSERT_FALSE(ToolPath("update-mime-database").empty()) << "shared-mime-info is missing: scripts/install-deps";
    ASSERT_FALSE(ToolPath("update-desktop-database").empty()) << "desktop-file-utils is missing: scripts/install-deps";
    const auto filesBelow = [](const fs::path& root) {
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (!entry.is_directory())
                found.insert(fs::relative(entry.path(), root).string());
        return found;
    };

    for (const bool otherProgram : {false, true}) {
        TempDir root;
        const FileAssociationPaths paths{(root / "data/mime/packages/velmora-archive.xml").string(),
                                         (root / "data/applications" / kArchiveDesktopId).string(),
                                         (root / "config/mimeapps.list").string()};
        fs::create_directories(root / "data");
        if (otherProgram) {
            fs::create_directories(root / "data/mime/packages");
            fs::create_directories(root / "data/applications");
            fs::create_directories(root / "config");
            WriteFile(root / "data/mime/packages/other.xml",
                      R"(<?xml version="1.0"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-other"><glob pattern="*.oth"/></mime-type>
</mime-info>
)");
            WriteFile(root / "data/applications/other.desktop",
                      "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\nMimeType=application/x-other;\n");
            WriteFile(paths.mimeApps, "[Default Applications]\napplication/x-other=other.desktop\n");
        }
        const std::set<std::string> before = filesBelow(root.path());

        RegisterFileAssociation("/opt/velmora/velmora", paths);
        ASSERT_TRUE(fs::exists(root / "data/mime/mime.cache")) << "the start made no MIME database";
        ASSERT_TRUE(fs::exists(root / "data/applications/mimeinfo.cache"));
        UnregisterFileAssociation(paths);

        const std::set<std::string> after = filesBelow(root.path());
        if (!otherProgram) {
            EXPECT_EQ(after, before);
            continue;
        }
        // The other program's type is still known, ours no longer.
        EXPECT_TRUE(fs::exists(root / "data/mime/application/x-other.xml"));
        EXPECT_FALSE(fs::exists(root / "data/mime/application/x-velmora-transfer-archive.xml"));
        const std::string desktopCache = ReadFile(root / "data/applications/mimeinfo.cache");
        EXPECT_NE(desktopCache.find("other.desktop"), std::string::npos) << desktopCache;
        EXPECT_EQ(desktopCache.find(kArchiveDesktopId), std::string::npos) << desktopCache;
        EXPECT_EQ(ReadFile(paths.mimeApps), "[Default Applications]\napplication/x-other=other.desktop\n");
        EXPECT_FALSE(fs::exists(paths.mimePackage));
        EXPECT_FALSE(fs::exists(paths.desktopEntry));
    }
}

// The Exec line as the desktop's launcher reads it: a program whose path holds blanks
// and the characters the launcher treats specially still gets the archive's path as
// its one argument. The programs are scripts that write down what they were given.
// ("%" is written "%%" as the desktop entry format wants; GLib's launcher then looks
// for a program named with "%%", so a "%" in the folder is left out here.)
TEST(FileAssociationTest, TheLauncherStartsTheProgramWithTheArchiveAsItsOnlyArgument)
{
    const std::string gio = ToolPath("gio");
    ASSERT_FALSE(gio.empty()) << "gio (libglib2.0-bin) is missing: scripts/install-deps";
    const std::string validator = ToolPath("desktop-file-validate");
    ASSERT_FALSE(validator.empty()) << "desktop-file-validate (desktop-file-utils) is missing: scripts/install-deps";

    for (const std::string folder : {"Program Files", "it's $HOME `x` \"q\" back\\slash", "plain"}) {
        TempDir root;
        const fs::path program = root / folder / "velmora";
        fs::create_directories(program.parent_path());
        // Written aside and renamed: the record exists only once it is whole, as the wait
        // below reads it the moment it appears.
        WriteFile(program, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$RECORD.part\" && mv \"$RECORD.part\" \"$RECORD\"\n");
        fs::permissions(program, fs::perms::owner_all);
        const FileAssociationPaths paths{(root / "data/mime/packages/velmora-archive.xml").string(),
                                         (root / "data/applications" / kArchiveDesktopId).string(),
                                         (root / "config/mimeapps.list").string()};
        RegisterFileAssociation(program.string(), paths);

        const ProcessResult valid = RunProgram(validator, {paths.desktopEntry});
        EXPECT_EQ(valid.exitCode, 0) << folder << ": " << valid.out << valid.err;
        EXPECT_NE(ReadFile(paths.mimePackage).find(R"(<glob pattern="*.eta"/>)"), std::string::npos);
        EXPECT_NE(ReadFile(paths.mimePackage).find("<comment>Velmora Transfer Archive</comment>"), std::string::npos);

        const fs::path archive = root / "my archives" / "for Anna $1.eta";
        fs::create_directories(archive.parent_path());
        WriteFile(archive, "archive");
        const fs::path record = root / "record";
        const ProcessResult launched = RunProgram(gio, {"launch", paths.desktopEntry, archive.string()},
                                                  {{"RECORD", record.string()}});
        ASSERT_EQ(launched.exitCode, 0) << folder << ": " << launched.err;
        const QDeadlineTimer guard(30000);
        while (!fs::exists(record) && !guard.hasExpired())
            QThread::msleep(20);
        EXPECT_EQ(fs::exists(record) ? ReadFile(record) : "(not started)", "1\n" + archive.string() + "\n") << folder;
    }
}

// The package installs the same type as every start writes for its user.
TEST(FileAssociationTest, TheInstalledMimePackageIsTheOneTheProgramWrites)
{
    EXPECT_EQ(ReadFile(fs::path(VELMORA_SOURCE_DIR) / "data/mime/velmora-archive.xml"), ArchiveMimePackage());
}

TEST(FileAssociationTest, AProgramPathWithALineBreakIsRefusedBeforeAnythingIsWritten)
{
    TempDir root;
    const FileAssociationPaths paths{(root / "mime/packages/velmora-archive.xml").string(),
                                     (root / "applications" / kArchiveDesktopId).string(),
                                     (root / "mimeapps.list").string()};
    EXPECT_THROW(RegisterFileAssociation("/opt/two\nlines/velmora", paths), std::invalid_argument);
    EXPECT_FALSE(fs::exists(paths.desktopEntry));
    EXPECT_FALSE(fs::exists(paths.mimeApps));
}

} // namespace
