#include "platform/AppWindowHook.h"
#include "platform/InstanceLock.h"
#include "platform/MessageWindow.h"
#include "platform/WindowMessages.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QLocalSocket>

#include <filesystem>
#include <limits>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using test::ProcessEventsUntil;
using test::ScopedEnv;
using test::TempDir;

constexpr const char* kCaption = "Velmora Test Form";

// Records what a window receives.
struct Inbox {
    explicit Inbox(MessageWindow& window)
    {
        QObject::connect(&window, &MessageWindow::MessageReceived,
                         [this](quint32 m, quint64 w, qint64 l) { messages.push_back({m, w, l}); });
    }
    std::vector<WindowMessage> messages;
};

class MessageWindowTest : public ::testing::Test {
protected:
    void SetUp() override { test::CoreApplication(); }

    TempDir runtime;
    ScopedEnv xdg{"XDG_RUNTIME_DIR", runtime.str()};
};

TEST_F(MessageWindowTest, EndpointIsPerUserAndNamedAfterTheCaption)
{
    const std::string uid = std::to_string(getuid());
    EXPECT_EQ(MessageEndpointName("Velmora Open ETA Form"),
              (runtime / ("Velmora_Open_ETA_Form." + uid)).string());
    EXPECT_EQ(MessageEndpointName("NRXVelmora"), (runtime / ("NRXVelmora." + uid)).string());
    // Nothing in a caption can leave the folder.
    EXPECT_EQ(MessageEndpointName("../x/y"), (runtime / (".._x_y." + uid)).string());

    // Without a runtime folder: the user's own folder in the temp folder, never the
    // shared temp folder itself.
    TempDir tmp;
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmpdir("TMPDIR", tmp.str());
    EXPECT_EQ(MessageEndpointName("NRXVelmora"),
              (tmp / ("velmora-" + std::to_string(geteuid())) / ("NRXVelmora." + uid)).string());
}

TEST_F(MessageWindowTest, NoWindowWithoutAPrivateFolder)
{
    const test::OpenRuntimeFolder open;
    MessageWindow window(kCaption);
    EXPECT_FALSE(window.Create());
    EXPECT_FALSE(FindWindow(kCaption));
    EXPECT_FALSE(PostMessage(kCaption, WindowMessage{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_empty(open.Path()));
}

TEST_F(MessageWindowTest, RegisteredMessageIsStableAndInTheRegisteredRange)
{
    const std::uint32_t number = RegisterWindowMessage("NRXVelmora");
    EXPECT_GE(number, 0xC000u);
    EXPECT_LE(number, 0xFFFFu);
    EXPECT_EQ(number, RegisterWindowMessage("NRXVelmora"));
    EXPECT_NE(number, RegisterWindowMessage("NRXVelmorb"));
}

TEST_F(MessageWindowTest, PostedMessagesArriveWholeAndInOrder)
{
    MessageWindow window(kCaption);
    Inbox inbox(window);
    ASSERT_TRUE(window.Create());
    ASSERT_TRUE(FindWindow(kCaption));
    // Only the user may connect.
    const auto permissions = std::filesystem::status(MessageEndpointName(kCaption)).permissions();
    EXPECT_EQ(permissions & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);

    const std::vector<WindowMessage> sent = {
        {0x81AB, 0, 93015},
        {0x81AB, 0, 7},
        {0xFFFF, std::numeric_limits<std::uint64_t>::max(), -1},
        {0, 0, std::numeric_limits<std::int64_t>::max()},
    };
    for (const WindowMessage& m : sent)
        ASSERT_TRUE(PostMessage(kCaption, m));

    ASSERT_TRUE(ProcessEventsUntil([&] { return inbox.messages.size() >= sent.size(); }));
    test::DrainEvents();
    EXPECT_EQ(inbox.messages, sent);
}

TEST_F(MessageWindowTest, RecordSplitAcrossWritesIsOneMessageAndManyRecordsMayShareAConnection)
{
    MessageWindow window(kCaption);
    Inbox inbox(window);
    ASSERT_TRUE(window.Create());

    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(MessageEndpointName(kCaption)));
    ASSERT_TRUE(socket.waitForConnected(5000));
    // Two records, 40 bytes, written as 7 + 33 bytes: the documented layout.
    const QByteArray records = QByteArray::fromHex("000081ab" "0000000000000000" "0000000000016b57"
                                                   "00000001" "0000000000000002" "fffffffffffffffd");
    ASSERT_EQ(records.size(), 2 * kWindowMessageRecordSize);
    socket.write(records.left(7));
    socket.waitForBytesWritten(5000);
    test::DrainEvents();
    EXPECT_TRUE(inbox.messages.empty());
    socket.write(records.mid(7));
    socket.waitForBytesWritten(5000);

    ASSERT_TRUE(ProcessEventsUntil([&] { return inbox.messages.size() >= 2; }));
    EXPECT_EQ(inbox.messages[0], (WindowMessage{0x81AB, 0, 93015}));
    EXPECT_EQ(inbox.messages[1], (WindowMessage{1, 2, -3}));
    socket.disconnectFromServer();
}

TEST_F(MessageWindowTest, NoWindowMeansNothingFoundAndNothingPosted)
{
    EXPECT_FALSE(FindWindow(kCaption));
    EXPECT_FALSE(PostMessage(kCaption, {0x81AB, 0, 1}));

    MessageWindow window(kCaption);
    ASSERT_TRUE(window.Create());
    window.Destroy();
    EXPECT_FALSE(window.IsCreated());
    EXPECT_FALSE(FindWindow(kCaption));
    EXPECT_FALSE(PostMessage(kCaption, {0x81AB, 0, 1}));
}

TEST_F(MessageWindowTest, SocketFileOfACrashedInstanceDoesNotBlockANewWindow)
{
    // What a killed process leaves: a bound socket file nobody listens on.
    const std::string path = MessageEndpointName(kCaption);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_FALSE(FindWindow(kCaption));

    MessageWindow window(kCaption);
    Inbox inbox(window);
    ASSERT_TRUE(window.Create());
    ASSERT_TRUE(PostMessage(kCaption, {0x81AB, 0, 42}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !inbox.messages.empty(); }));
    EXPECT_EQ(inbox.messages[0].lParam, 42);
}

TEST_F(MessageWindowTest, LiveWindowIsNeverTakenOverBySecondWindowOfTheSameCaption)
{
    MessageWindow first(kCaption);
    Inbox firstInbox(first);
    ASSERT_TRUE(first.Create());

    MessageWindow second(kCaption);
    Inbox secondInbox(second);
    EXPECT_FALSE(second.Create());
    second.Destroy();

    ASSERT_TRUE(PostMessage(kCaption, {5, 0, 0}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !firstInbox.messages.empty(); }));
    EXPECT_TRUE(secondInbox.messages.empty());
}

TEST_F(MessageWindowTest, HandlerMayDestroyTheWindowItIsCalledFrom)
{
    auto window = std::make_unique<MessageWindow>(kCaption);
    int handled = 0;
    QObject::connect(window.get(), &MessageWindow::MessageReceived, [&](quint32, quint64, qint64) {
        ++handled;
        window->Destroy();
    });
    ASSERT_TRUE(window->Create());
    ASSERT_TRUE(PostMessage(kCaption, {1, 0, 0}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return handled == 1; }));
    test::DrainEvents();
    EXPECT_FALSE(FindWindow(kCaption));
    window.reset();
    test::DrainEvents();
    EXPECT_EQ(handled, 1);
}

TEST_F(MessageWindowTest, BroadcastBringsTheRunningInstanceToTheFront)
{
    EXPECT_FALSE(AppWindowHook::ActivateRunningInstance());

    AppWindowHook hook;
    int raised = 0;
    QObject::connect(&hook, &AppWindowHook::BringToFront, [&] { ++raised; });
    ASSERT_TRUE(hook.HookApplicationWindow());

    // Other messages on the same endpoint do not raise the window.
    ASSERT_TRUE(PostMessage(kInstanceName, {0x81AB, 0, 0}));
    ASSERT_TRUE(AppWindowHook::ActivateRunningInstance());
    ASSERT_TRUE(ProcessEventsUntil([&] { return raised >= 1; }));
    test::DrainEvents();
    EXPECT_EQ(raised, 1);
}

} // namespace
} // namespace velmora
