#include "integration/FileAssociation.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
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
