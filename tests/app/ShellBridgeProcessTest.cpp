// The file managers' entry as a user meets it: the shipped helper calls the automation
// object on a session bus of the test's own; with no program running the bus starts
// one through the activation file, which adds the files and ends.
#include "integration/AutomationRegistration.h"
#include "platform/InstanceLock.h"
#include "platform/SettingsStore.h"

#include "app/ProgramProcessFixture.h"
#include "support/PrivateBus.h"

#include <algorithm>

namespace fs = std::filesystem;
using namespace velmora;
using namespace velmora::test;

namespace {

fs::path ShippedFile(const std::string& name)
{
    return fs::path(VELMORA_SOURCE_DIR) / "data" / "filemanager" / name;
}

class ShellBridgeProcessTest : public ProgramProcessFixture {
protected:
    // What the bus gives the programs it starts, and what the others get too.
    QProcessEnvironment DesktopEnvironment() const
    {
        QProcessEnvironment env = ProgramProcessFixture::Environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // Only the test's own services.
        env.insert("XDG_DATA_DIRS", QString::fromStdString(data.str()));
        return env;
    }
    QProcessEnvironment Environment() const override
    {
        QProcessEnvironment env = DesktopEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.Address());
        return env;
    }

    // The activation file as "-regserver" writes it, but starting program.
    void RegisterForActivation(const fs::path& program)
    {
        const fs::path file = data / "dbus-1" / "services" / "Tarnel.tnApp.service";
        fs::create_directories(file.parent_path());
        WriteFile(file, AutomationRegistration::ActivationFileText(program.string()));
    }

    // True once no velmora holds the instance lock (or the guard passed).
    bool WaitUntilNoInstanceRuns()
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired()) {
            if (InstanceLock lock; lock.IsHeld())
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    PrivateBus bus{DesktopEnvironment()};
};

TEST_F(ShellBridgeProcessTest, RegisterSwitchesWriteAndRemoveTheActivationFile)
{
    const fs::path file = data / "dbus-1" / "services" / "Tarnel.tnApp.service";
    const std::string program = fs::canonical(BinDir() / "velmora").string();

    auto run = RunVelmora({"-REGSERVER"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(file), AutomationRegistration::ActivationFileText(program));
    run = RunVelmora({"/UnRegServer"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(file));

    // Every start registers it again (here one that only adds a file).
    MakeLibrary(library.path());
    WriteFile(files / "photo.jpg", "photo bytes");
    run = RunVelmora({QString::fromStdString(library.str()), "photo.jpg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(file), AutomationRegistration::ActivationFileText(program));

    // What cannot be done is said, and the exit code tells the script that asked.
    fs::remove(file);
    fs::create_directories(file / "in the way");
    run = RunVelmora({"/unregserver"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find(file.string()), std::string::npos) << run.err;
    fs::remove_all(data / "dbus-1");
    WriteFile(data / "dbus-1", "a file where the folder should be");
    run = RunVelmora({"-regserver"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("dbus-1"), std::string::npos) << run.err;
}

TEST_F(ShellBridgeProcessTest, AFileManagersCallStartsTheProgramWhichAddsAndEnds)
{
    ASSERT_FALSE(bus.Address().isEmpty());
    MakeLibrary(library.path());
    // The program as the bus starts it, from a folder whose name needs quoting; it
    // opens the test's library rather than the program folder's.
    const fs::path programs = runtime / "Velmora's Programs\\x64";
    fs::create_directories(programs);
    const fs::path starter = programs / "start velmora";
    WriteFile(starter, "#!/bin/sh\nexec '" + (BinDir() / "velmora").string() + "' \"$@\" '" + library.str() + "'\n");
    fs::permissions(starter, fs::perms::owner_all);
    RegisterForActivation(starter);

    const fs::path folder = files / "Holiday Pictures";
    fs::create_directories(folder);
    WriteFile(folder / "beach.jpg", "sand");
    WriteFile(folder / "waves.mp3", "whoosh");
    WriteFile(folder / "list.txt", "not media");
    WriteFile(files / "it's.wav", "a quote in the name");

    // Two selections at once, one from each file manager's entry: both reach the one
    // process the bus starts. GNOME Files names the paths in the environment.
    QProcess other;
    QProcessEnvironment gnome = Environment();
    gnome.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", QString::fromStdString((files / "it's.wav").string()) + "\n");
    gnome.insert("PATH", QString::fromStdString(ShippedFile("").string()) + ":" + gnome.value("PATH"));
    other.setProcessEnvironment(gnome);
    other.setWorkingDirectory(QString::fromStdString(runtime.str()));
    other.start(QString::fromStdString(ShippedFile("nautilus/Add To Velmora").string()), {"ignored name"});
    const auto added = RunCommand(QString::fromStdString(ShippedFile("velmora-add-files").string()),
                           {QString::fromStdString(folder.string())});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    ASSERT_TRUE(other.waitForFinished(kHangGuardMs));
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();

    auto names = ItemNames(library.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"beach.jpg", "it's.wav", "waves.mp3"}));
    EXPECT_TRUE(fs::exists(folder / "beach.jpg"));   // kept unless the library says otherwise
    // Answered, the process has gone.
    EXPECT_TRUE(WaitUntilNoInstanceRuns());
}

TEST_F(ShellBridgeProcessTest, TheBusStartedProgramTellsTheMenuTextAndEndsAfterTheLastCall)
{
    ASSERT_FALSE(bus.Address().isEmpty());
    MakeLibrary(library.path());
    {
        SettingsStore store(config.str() + "/Velmora/Velmora.ini");
        store.WriteString(SettingsStore::kSettings, "shellextext", "Ins Versteck");
        store.Flush();
    }
    StartFirst({"-embedding", QString::fromStdString(library.str())});
    const auto waited = RunCommand("gdbus", {"wait", "--session", "--timeout", "60", "Tarnel.tnApp"});
    ASSERT_EQ(waited.exitCode, 0) << waited.err << FirstOutput();

    const auto caption = RunCommand("gdbus", {"call", "--session", "--dest", "Tarnel.tnApp", "--object-path", "/tnApp",
                                       "--method", "org.freedesktop.DBus.Properties.Get", "Tarnel.ItnApp",
                                       "MenuCaption"});
    EXPECT_EQ(caption.exitCode, 0) << caption.err;
    EXPECT_EQ(caption.out, "(<'Ins Versteck'>,)\n");

    WriteFile(files / "photo.jpg", "photo bytes");
    const auto added = RunCommand(QString::fromStdString(ShippedFile("velmora-add-files").string()), {"photo.jpg"});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(ItemNames(library.path()), std::vector<std::string>{"photo.jpg"});
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
}

} // namespace
