// Whether a package registers the program for every user, read from the activation files
// of data folders of the test's own.
#include "integration/PackageRegistration.h"

#include "integration/AutomationRegistration.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

TEST(PackageRegistrationTest, TheStartedProgramIsReadAsTheBusReadsTheExecLine)
{
    const struct {
        std::string exec;
        std::string program;
    } cases[] = {
        {"/usr/lib/velmora/velmora -embedding", "/usr/lib/velmora/velmora"},
        {"  /usr/lib/velmora/velmora", "/usr/lib/velmora/velmora"},
        {"'/opt/My Programs/velmora' -embedding", "/opt/My Programs/velmora"},
        {"\"/opt/My Programs/velmora\" -embedding", "/opt/My Programs/velmora"},
        {"/opt/My\\\\ Programs/velmora -embedding", "/opt/My Programs/velmora"},
        {"'/opt/it'\"'\"'s/velmora' -embedding", "/opt/it's/velmora"},
        {"'/opt/unbalanced -embedding", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ActivationProgram("[D-BUS Service]\nName=Tarnel.tnApp\nExec=" + c.exec + "\n"), c.program) << c.exec;
    // What the program writes for its user reads back as the program, whatever its path.
    for (const std::string program : {"/home/me/My Programs/velmora", "/opt/it's/velmora", "/opt/x\\86/velmora"})
        EXPECT_EQ(ActivationProgram(AutomationRegistration::ActivationFileText(program)), program);
}

class PackageRegistrationFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(prefix / "lib/velmora");
        WriteFile(program, "the program");
        fs::create_directories(prefix / "bin");
        fs::create_symlink("../lib/velmora/velmora", prefix / "bin/velmora");
    }

    void Register(const fs::path& dataFolder, const std::string& exec)
    {
        fs::create_directories(dataFolder / "dbus-1/services");
        WriteFile(dataFolder / "dbus-1/services/Tarnel.tnApp.service",
                  "[D-BUS Service]\nName=Tarnel.tnApp\nExec=" + exec + " -embedding\n");
    }

    TempDir root;
    fs::path prefix = root / "usr";
    fs::path program = prefix / "lib/velmora/velmora";
    fs::path home = root / "home/.local/share";
    fs::path local = root / "usr/local/share";
};

TEST_F(PackageRegistrationFolders, OnlyTheSystemFileTheBusReadsFirstCounts)
{
    const std::vector<std::string> dirs{local.string(), (prefix / "share").string()};
    EXPECT_FALSE(RegisteredByPackage(program.string(), home.string(), dirs)) << "no activation file anywhere";

    // The user's own file is no package's, even where the data folders list it.
    Register(home, program.string());
    EXPECT_FALSE(RegisteredByPackage(program.string(), home.string(), {home.string(), local.string()}));

    // The package's file, naming the program through the link on the path.
    Register(prefix / "share", (prefix / "bin/velmora").string());
    EXPECT_TRUE(RegisteredByPackage(program.string(), home.string(), dirs));
    EXPECT_TRUE(RegisteredByPackage((prefix / "bin/velmora").string(), home.string(), dirs));
    // A copy elsewhere is not the package's program.
    const fs::path copy = root / "copy/velmora";
    fs::create_directories(copy.parent_path());
    fs::copy_file(program, copy);
    EXPECT_FALSE(RegisteredByPackage(copy.string(), home.string(), dirs));

    // Another installation earlier in the folders is the one the bus starts.
    Register(local, copy.string());
    EXPECT_FALSE(RegisteredByPackage(program.string(), home.string(), dirs));
    EXPECT_TRUE(RegisteredByPackage(copy.string(), home.string(), dirs));
}

} // namespace
} // namespace velmora
