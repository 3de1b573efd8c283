// The control window a file manager's entry looks for: what it answers, and when it
// can be found at all.
#include "integration/ShellBridge.h"
#include "integration/ShellControlForm.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMessages.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <unistd.h>

namespace velmora {
namespace {

using test::ProcessEventsUntil;
using test::ScopedEnv;
using test::TempDir;

// The file manager's side: a blocking request from another thread, while this
// thread's event loop lets the window answer.
std::optional<MessageResult> Send(std::uint32_t message)
{
    auto answer = std::async(std::launch::async, [message] {
        return SendMessage(kShellControlCaption, WindowMessage{message, 0, 0});
    });
    ProcessEventsUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return answer.get();
}

// Everything a pipe's read end holds, to its end.
std::optional<std::string> ReadToEnd(int fd)
{
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class ShellBridgeTest : public ::testing::Test {
protected:
    void SetUp() override { test::CoreApplication(); }

    void WriteSettings(const std::optional<std::string>& text, std::optional<bool> enabled)
    {
        SettingsStore store;
        if (text)
            store.WriteString(SettingsStore::kSettings, "shellextext", *text);
        if (enabled)
            store.WriteBool(SettingsStore::kSettings, "shellextenb", *enabled);
        store.Flush();
    }

    static bool Findable() { return FindWindow(kShellControlCaption); }

    TempDir runtime;
    TempDir config;
    ScopedEnv xdgRuntime{"XDG_RUNTIME_DIR", runtime.str()};
    ScopedEnv xdgConfig{"XDG_CONFIG_HOME", config.str()};
};

TEST_F(ShellBridgeTest, MenuTextRequestHandsOverAPipeHoldingExactlyTheText)
{
    const std::string text = "Hinzufügen zu Velmora";   // UTF-8 bytes, no terminating zero
    WriteSettings(text, true);
    ShellBridge bridge;
    bridge.LibraryOpened();
    ASSERT_TRUE(Findable());

    auto answer = Send(WM_SHELLMENUTEXT);
    ASSERT_TRUE(answer.has_value());
    ASSERT_TRUE(answer->descriptor.Valid());
    EXPECT_GE(answer->result, 0);   // the read end's number in the program
    EXPECT_EQ(ReadToEnd(answer->descriptor.Get()), text);

    // The empty request and any other message are answered with 0 and nothing handed over.
    for (const std::uint32_t message : {WM_SHELLEMPTY, 0x81ABu, 0u}) {
        auto other = Send(message);
        ASSERT_TRUE(other.has_value()) << message;
        EXPECT_EQ(other->result, 0) << message;
        EXPECT_FALSE(other->descriptor.Valid()) << message;
    }
}

TEST_F(ShellBridgeTest, RequestsLeaveNoDescriptorBehindAndALongTextDoesNotHang)
{
    // Longer than a pipe holds: the window must not wait for a reader that is itself
    // waiting for the answer.
    const std::string text(200000, 'v');
    WriteSettings(text, true);
    ShellBridge bridge;
    bridge.LibraryOpened();
    Send(WM_SHELLMENUTEXT);   // whatever the first use opens for good

    const std::size_t before = OpenDescriptors();
    for (int i = 0; i < 20; ++i) {
        auto answer = Send(WM_SHELLMENUTEXT);
        ASSERT_TRUE(answer.has_value());
        const auto held = ReadToEnd(answer->descriptor.Get());
        ASSERT_TRUE(held.has_value());
        EXPECT_FALSE(held->empty());
        EXPECT_EQ(*held, text.substr(0, held->size()));
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(ShellBridgeTest, ControlWindowFollowsOpenLockUnlockAndAppliedSettings)
{
    struct Step {
        const char* what;
        std::function<void(ShellBridge&)> action;
        bool findable;
    };
    const auto opened = [](ShellBridge& b) { b.LibraryOpened(); };
    const auto locked = [](ShellBridge& b) { b.LibraryLocked(); };
    const auto unlocked = [](ShellBridge& b) { b.LibraryUnlocked(); };
    const auto applied = [this](bool enabled) {
        return [this, enabled](ShellBridge& b) {
            WriteSettings(std::nullopt, enabled);
            b.SettingsApplied();
        };
    };
    struct Case {
        const char* name;
        bool enabledAtStart;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"enabled", true,
         {{"open", opened, true}, {"lock", locked, false}, {"unlock", unlocked, true},
          {"lock again", locked, false}, {"unlock again", unlocked, true}}},
        {"disabled", false,
         {{"open", opened, false}, {"lock", locked, false}, {"unlock", unlocked, false}}},
        {"switched off, then on", true,
         {{"open", opened, true}, {"apply off", applied(false), false}, {"lock", locked, false},
          {"unlock", unlocked, false}, {"apply on", applied(true), true}, {"lock", locked, false},
          {"unlock", unlocked, true}}},
        {"switched on while it was off at the start", false,
         {{"open", opened, false}, {"apply on", applied(true), true}}},
    };
    for (const Case& c : cases) {
        WriteSettings(std::nullopt, c.enabledAtStart);
        ShellBridge bridge;
        EXPECT_FALSE(Findable()) << c.name << ": before the library is open";
        for (const Step& step : c.steps) {
            step.action(bridge);
            EXPECT_EQ(Findable(), step.findable) << c.name << ": after " << step.what;
            EXPECT_EQ(bridge.ControlFormExists(), step.findable) << c.name << ": after " << step.what;
        }
    }
}

TEST_F(ShellBridgeTest, AppliedMenuTextIsWhatTheNextRequestReads)
{
    ShellBridge bridge;
    EXPECT_EQ(bridge.MenuText(), "Add To Velmora");   // the default when nothing is stored
    EXPECT_TRUE(bridge.Enabled());
    bridge.LibraryOpened();
    auto first = Send(WM_SHELLMENUTEXT);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(ReadToEnd(first->descriptor.Get()), "Add To Velmora");

    WriteSettings("Hide in the vault", true);
    EXPECT_EQ(bridge.MenuText(), "Add To Velmora");   // stored, not yet applied
    bridge.SettingsApplied();
    auto second = Send(WM_SHELLMENUTEXT);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(ReadToEnd(second->descriptor.Get()), "Hide in the vault");
}

} // namespace
} // namespace velmora
