// The program as the desktop meets it, in real processes: copies of the program folder
// elsewhere (one in a folder with blanks, one installed read-only and run by a user
// without privileges), the archive association they write at start, and an archive
// opened through it as a file manager opens it.
#include "integration/FileAssociation.h"

#include "app/ProgramCopy.h"
#include "app/ProgramProcessFixture.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::BinDir;
using velmora::test::CopyProgramFolder;
using velmora::test::GiveToUnprivilegedUser;
using velmora::test::kHangGuardMs;
using velmora::test::MakeReadOnly;
using velmora::test::MakeWritable;
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

// The value of key in a desktop entry's text.
std::string EntryValue(const std::string& entry, const std::string& key)
{
    const std::string prefix = "\n" + key + "=";
    const auto at = ("\n" + entry).find(prefix);
    if (at == std::string::npos)
        return {};
    const auto start = at + prefix.size() - 1;
    return entry.substr(start, entry.find('\n', start) - start);
}

class DesktopIntegrationProcessTest : public velmora::test::ProgramProcessFixture {
protected:
    void SetUp() override
    {
        ProgramProcessFixture::SetUp();
        // Other users reach what lies below (the read-only case runs as nobody).
        fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::replace);
    }

    void TearDown() override
    {
        ProgramProcessFixture::TearDown();
        if (fs::exists(readOnlyProgram))
            MakeWritable(readOnlyProgram);
    }

    QProcessEnvironment Environment() const override
    {
        QProcessEnvironment env = ProgramProcessFixture::Environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_DATA_HOME", QString::fromStdString(DataHome().string()));
        if (!systemData.empty())
            env.insert("XDG_DATA_DIRS", QString::fromStdString(systemData.string()));
        return env;
    }

    std::map<std::string, std::string> ToolEnvironment() const
    {
        std::map<std::string, std::string> env;
        const QProcessEnvironment process = Environment();
        for (const QString& key : process.keys())
            env[key.toStdString()] = process.value(key).toStdString();
        return env;
    }

    fs::path DataHome() const { return dataHome / "share"; }

    FileAssociationPaths Association() const
    {
        return {(DataHome() / "mime/packages/velmora-archive.xml").string(),
                (DataHome() / "applications" / kArchiveDesktopId).string(), (config / "mimeapps.list").string()};
    }

    // Starts the copy's program as the running instance.
    void StartCopy(const fs::path& program, const QStringList& arguments)
    {
        first.setProcessEnvironment(Environment());
        first.setWorkingDirectory(QString::fromStdString(files.str()));
        first.start(QString::fromStdString(program.string()), arguments);
        ASSERT_TRUE(first.waitForStarted(kHangGuardMs));
    }

    // Opens a file with the archive entry, as a file manager does.
    void OpenWithDesktopEntry(const fs::path& file)
    {
        const std::string gio = ToolPath("gio");
        ASSERT_FALSE(gio.empty()) << "gio (libglib2.0-bin) is missing: scripts/install-deps";
        const ProcessResult launched =
            RunProgram(gio, {"launch", Association().desktopEntry, file.string()}, ToolEnvironment());
        ASSERT_EQ(launched.exitCode, 0) << launched.err;
    }

    // The program the archive entry starts.
    std::string EntryExec() const { return EntryValue(ReadFile(Association().desktopEntry), "Exec"); }

    static std::string QuotedProgram(const fs::path& program) { return "\"" + program.string() + "\" %f"; }

    // Every file (or link) below the user's data and configuration folders.
    std::vector<std::string> UserFiles() const
    {
        std::vector<std::string> found;
        for (const fs::path& top : {DataHome(), config.path()}) {
            if (!fs::exists(top))
                continue;
            for (const auto& entry : fs::recursive_directory_iterator(top))
                if (!entry.is_directory())
                    found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    // The data folder a package fills, as the desktop finds it in $XDG_DATA_DIRS.
    void UseSystemData(const fs::path& folder)
    {
        systemData = folder;
        fs::create_directories(folder);
    }

    TempDir scratch;
    TempDir dataHome;
    fs::path readOnlyProgram;
    fs::path systemData;
};

TEST_F(DesktopIntegrationProcessTest, ArchivesOpenInTheCopyThatStartedLastEvenFromAFolderWithBlanks)
{
    MakeLibrary(library.path());
    const fs::path programA = scratch / "Program Files" / "Velmora copy" / "velmora";
    CopyProgramFolder(programA.parent_path());
    // At its password gate, which takes hand-overs meanwhile.
    StartCopy(programA, {QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();

    // The association is written before the hand-over window opens.
    EXPECT_EQ(EntryExec(), QuotedProgram(programA));
    const std::string validator = ToolPath("desktop-file-validate");
    ASSERT_FALSE(validator.empty()) << "desktop-file-validate (desktop-file-utils) is missing: scripts/install-deps";
    const ProcessResult valid = RunProgram(validator, {Association().desktopEntry});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    // The desktop knows the type (the MIME cache is up to date) and its default program.
    const fs::path archive = files / "gift for Anna.ETA";
    WriteFile(archive, "an archive");
    const ProcessResult type = RunProgram(ToolPath("gio"), {"info", "-a", "standard::content-type", archive.string()},
                                          ToolEnvironment());
    EXPECT_NE(type.out.find(kArchiveMimeType), std::string::npos) << type.out << type.err;
    const ProcessResult handler = RunProgram(ToolPath("gio"), {"mime", kArchiveMimeType}, ToolEnvironment());
    EXPECT_NE(handler.out.find(std::string("Default application for “") + kArchiveMimeType + "”: " + kArchiveDesktopId),
              std::string::npos)
        << handler.out << handler.err;

    // Opening the archive starts the copy, which hands the archive to the running one.
    OpenWithDesktopEntry(archive);
    EXPECT_TRUE(WaitForOutput("handed over " + archive.string())) << firstErr;

    // Another copy elsewhere takes the association over at its next start.
    first.kill();
    first.waitForFinished(kHangGuardMs);
    const fs::path programB = scratch / "Other Folder" / "velmora";
    CopyProgramFolder(programB.parent_path());
    firstErr.clear();
    StartCopy(programB, {QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();
    EXPECT_EQ(EntryExec(), QuotedProgram(programB));
    const fs::path second = files / "second.eta";
    WriteFile(second, "another archive");
    OpenWithDesktopEntry(second);
    EXPECT_TRUE(WaitForOutput("handed over " + second.string())) << firstErr;
}

TEST_F(DesktopIntegrationProcessTest, AnInstalledProgramKeepsItsDataInTheUsersFolder)
{
    // Installed: a program folder its user cannot write, run by a user without
    // privileges (as root, nobody), whose data folder does not exist yet.
    readOnlyProgram = scratch / "installed";
    CopyProgramFolder(readOnlyProgram);
    fs::copy_file(BinDir() / "default_folders_probe", readOnlyProgram / "default_folders_probe");
    MakeReadOnly(readOnlyProgram);
    const fs::path home = scratch / "home";
    const fs::path userRuntime = scratch / "run";
    fs::create_directories(home);
    fs::create_directory(userRuntime);
    fs::permissions(userRuntime, fs::perms::owner_all, fs::perm_options::replace);
    GiveToUnprivilegedUser(home);
    GiveToUnprivilegedUser(userRuntime);
    QProcessEnvironment env = Environment();
    env.insert("HOME", QString::fromStdString(home.string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(userRuntime.string()));
    const fs::path userData = home / "data" / "Velmora";

    const auto unprivileged = [&](QProcess& process, const fs::path& program, const QStringList& arguments) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(home.string()));
        if (::geteuid() == 0)
            process.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                                 QString::fromStdString(program.string())} +
                                         arguments);
        else
            process.start(QString::fromStdString(program.string()), arguments);
        ASSERT_TRUE(process.waitForStarted(kHangGuardMs));
    };

    QProcess probe;
    unprivileged(probe, readOnlyProgram / "default_folders_probe", {});
    ASSERT_TRUE(probe.waitForFinished(kHangGuardMs));
    EXPECT_EQ(probe.readAllStandardOutput().toStdString(),
              "data folder: " + userData.string() + "\nmonitor folder: " + (userData / "Monitor").string() + "\n");

    // The first start makes the library there from the shipped one, for the user alone.
    unprivileged(first, readOnlyProgram / "velmora", {});
    // Until its hand-over window (a socket in the runtime folder, which only its user
    // may open) is there.
    const auto handOverWindowExists = [&] {
        for (const auto& file : fs::directory_iterator(userRuntime))
            if (file.path().filename().string().starts_with("Velmora_Open_ETA_Form"))
                return true;
        return false;
    };
    const QDeadlineTimer guard(kHangGuardMs);
    while (!handOverWindowExists() && !guard.hasExpired() && first.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(handOverWindowExists()) << FirstOutput();
    ASSERT_TRUE(fs::exists(userData / "tndb.mdb")) << FirstOutput();
    EXPECT_EQ(fs::status(userData).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(readOnlyProgram / "tndb.mdb"));

    // A second start hands its file over, though the program folder cannot take the list.
    const fs::path picture = home / "photo.jpg";
    WriteFile(picture, "not really a picture");
    GiveToUnprivilegedUser(picture);
    QProcess second;
    unprivileged(second, readOnlyProgram / "velmora", {QString::fromStdString(picture.string())});
    ASSERT_TRUE(second.waitForFinished(kHangGuardMs));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_TRUE(WaitForOutput("handed over " + picture.string())) << firstErr;
    const std::regex listFile("[0-9]{6}");
    for (const auto& file : fs::directory_iterator(readOnlyProgram))
        EXPECT_FALSE(std::regex_match(file.path().filename().string(), listFile)) << file.path();
}

// An installed program: its package registers the automation service, the archive type
// and its launcher for every user, so its starts write no per-user copy of them, and take
// away those an earlier start (or a copy run from elsewhere) left, which would shadow the
// package's and outlive its removal.
TEST_F(DesktopIntegrationProcessTest, AnInstalledProgramLeavesItsRegistrationToItsPackage)
{
    MakeLibrary(library.path());
    const fs::path prefix = scratch / "usr";
    const fs::path program = prefix / "lib" / "velmora" / "velmora";
    CopyProgramFolder(program.parent_path());
    fs::create_directories(prefix / "bin");
    fs::create_symlink("../lib/velmora/velmora", prefix / "bin" / "velmora");
    UseSystemData(prefix / "share");

    // Before the package's activation file is there it is a copy like any other, and
    // registers itself for its user.
    StartCopy(program, {QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();
    const fs::path activation = DataHome() / "dbus-1/services/Tarnel.tnApp.service";
    for (const std::string& file : {activation.string(), Association().mimePackage, Association().desktopEntry,
                                    Association().mimeApps})
        EXPECT_TRUE(fs::exists(file)) << file;
    first.kill();
    first.waitForFinished(kHangGuardMs);

    // The package's activation file names the program through the link on the path.
    fs::create_directories(prefix / "share/dbus-1/services");
    WriteFile(prefix / "share/dbus-1/services/Tarnel.tnApp.service",
              "[D-BUS Service]\nName=Tarnel.tnApp\nExec=" + (prefix / "bin" / "velmora").string() + " -embedding\n");
    firstErr.clear();
    StartCopy(program, {QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();
    // Nothing of the registration is left in the user's folders (the settings are the
    // user's own): no activation file, archive entry, MIME package or database, default.
    std::vector<std::string> left = UserFiles();
    std::erase(left, (config / "Velmora" / "Velmora.ini").string());
    EXPECT_EQ(left, std::vector<std::string>{});
    first.kill();
    first.waitForFinished(kHangGuardMs);

    // Asked to register, it has nothing to write: the package's file stands.
    const ProcessResult registered = RunCommand(QString::fromStdString(program.string()), {"-regserver"});
    EXPECT_EQ(registered.exitCode, 0) << registered.err;
    EXPECT_FALSE(fs::exists(activation));
}

// "-unregserver" takes away every per-user file the program wrote: the activation file,
// the archive association with the MIME database and desktop cache made for it, the
// default in mimeapps.list, and the file managers' entries carrying the menu text.
TEST_F(DesktopIntegrationProcessTest, UnregserverRemovesEveryPerUserFileTheProgramWrote)
{
    MakeLibrary(library.path());
    // Dolphin's service menu installed where a package puts it, and a menu text of the
    // user's, so that the start writes the user's copies of it.
    UseSystemData(scratch / "system");
    for (const char* folder : {"kio/servicemenus", "kservices5/ServiceMenus"}) {
        fs::create_directories(systemData / folder);
        fs::copy_file(fs::path(VELMORA_SOURCE_DIR) / "data/filemanager/velmora-add-files.desktop",
                      systemData / folder / "velmora-add-files.desktop");
    }
    fs::create_directories(config / "Velmora");
    WriteFile(config / "Velmora" / "Velmora.ini", "[Settings]\nshellextext=Ins Versteck\n");
    // A default of another type in mimeapps.list is the user's and stays.
    WriteFile(config / "mimeapps.list", "[Default Applications]\ntext/plain=gedit.desktop\n");

    StartCopy(BinDir() / "velmora", {QString::fromStdString(library.str())});
    ASSERT_TRUE(WaitForHandOverWindow()) << FirstOutput();
    first.kill();
    first.waitForFinished(kHangGuardMs);
    const std::vector<std::string> written = UserFiles();
    for (const fs::path& file : {DataHome() / "dbus-1/services/Tarnel.tnApp.service",
                                 DataHome() / "kio/servicemenus/velmora-add-files.desktop",
                                 DataHome() / "mime/mime.cache", fs::path(Association().desktopEntry)})
        EXPECT_NE(std::find(written.begin(), written.end(), file.string()), written.end()) << file;

    const ProcessResult unregistered = RunCommand(QString::fromStdString((BinDir() / "velmora").string()),
                                                  {"-unregserver"});
    EXPECT_EQ(unregistered.exitCode, 0) << unregistered.err;
    EXPECT_EQ(UserFiles(), (std::vector<std::string>{(config / "Velmora" / "Velmora.ini").string(),
                                                     (config / "mimeapps.list").string()}));
    EXPECT_EQ(ReadFile(config / "mimeapps.list"), "[Default Applications]\ntext/plain=gedit.desktop\n");
}

} // namespace
