// The activation file that lets the bus start the program for a call.
#include "integration/AutomationRegistration.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

class AutomationRegistrationTest : public ::testing::Test {
protected:
    TempDir data;
    ScopedEnv xdgData{"XDG_DATA_HOME", data.str()};
    fs::path file = data / "dbus-1/services/Tarnel.tnApp.service";
};

TEST_F(AutomationRegistrationTest, ExecLineKeepsAnyProgramPathOneWord)
{
    struct Case {
        std::string program;
        std::string exec;
    };
    const std::vector<Case> cases = {
        {"/usr/bin/velmora", "Exec='/usr/bin/velmora' -embedding\n"},
        {"/home/me/My Programs/velmora", "Exec='/home/me/My Programs/velmora' -embedding\n"},
        {"/opt/it's/velmora", "Exec='/opt/it'\"'\"'s/velmora' -embedding\n"},
        // The file's own escapes: a backslash is written doubled.
        {"/opt/x\\86/velmora", "Exec='/opt/x\\\\86/velmora' -embedding\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AutomationRegistration::ActivationFileText(c.program),
                  "[D-BUS Service]\nName=Tarnel.tnApp\n" + c.exec)
            << c.program;
}

TEST_F(AutomationRegistrationTest, RegisterWritesUnregisterRemovesAndAnotherCopyTakesOver)
{
    EXPECT_EQ(AutomationRegistration::ActivationFile(), file.string());
    AutomationRegistration::UnregisterServer();   // nothing there: no failure
    AutomationRegistration::RegisterServer("/opt/a/velmora");
    EXPECT_EQ(test::ReadFile(file), AutomationRegistration::ActivationFileText("/opt/a/velmora"));
    AutomationRegistration::RegisterServer("/opt/b/velmora");
    EXPECT_EQ(test::ReadFile(file), AutomationRegistration::ActivationFileText("/opt/b/velmora"));
    AutomationRegistration::UnregisterServer();
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(AutomationRegistrationTest, AFolderThatCannotBeMadeIsAFailure)
{
    test::WriteFile(data / "dbus-1", "a file where the folder should be");
    EXPECT_THROW(AutomationRegistration::RegisterServer("/usr/bin/velmora"), AutomationRegistration::Failed);
}

} // namespace
} // namespace velmora
