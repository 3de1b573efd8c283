// The automation object on a bus of the test's own: its interface as callers see it,
// the answer a second after the add without holding up the event loop, failures.
#include "integration/ShellAutomationTarget.h"
#include "integration/TnApp.h"

#include "platform/PlatformTestSupport.h"
#include "support/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velmora {
namespace {

using test::ProcessEventsUntil;

TEST(SplitFileSpecTest, EveryKindOfLineEndSeparatesPaths)
{
    struct Case {
        QString spec;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"/a/b.jpg", {"/a/b.jpg"}},
        {"/a.jpg\r\n/b c.mp3\r\n", {"/a.jpg", "/b c.mp3"}},
        {"/a.jpg\r/b.mp3\n/c.wav", {"/a.jpg", "/b.mp3", "/c.wav"}},
        {"/a.jpg\n\r\n\n/b.mp3", {"/a.jpg", "/b.mp3"}},
        {"/Bilder/Müll.jpg", {"/Bilder/M\xc3\xbcll.jpg"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitFileSpec(c.spec), c.paths) << c.spec.toStdString();
}

// Records what the object asks; the add ends when the test says so.
class FakeProgram : public ShellAutomationTarget {
public:
    std::string MenuCaption() override { return caption; }
    void AddShellFiles(const std::vector<std::string>& paths, AddDone done) override
    {
        added.push_back(paths);
        if (refusal)
            throw ShellAddRefused(*refusal, "refused");
        if (throwOnAdd)
            throw std::runtime_error("the library is gone");
        pending.push_back(std::move(done));
    }
    void FinishAdd(const std::optional<std::string>& failure = std::nullopt)
    {
        AddDone done = std::move(pending.front());
        pending.erase(pending.begin());
        done(failure);
    }

    std::string caption = "Add To Velmora";
    std::vector<std::vector<std::string>> added;
    std::vector<AddDone> pending;
    bool throwOnAdd = false;
    std::optional<ShellAddRefused::Reason> refusal;
};

class TnAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::CoreApplication();
        ASSERT_FALSE(bus.Address().isEmpty());
        ASSERT_TRUE(server.isConnected());
        ASSERT_TRUE(client.isConnected());
        ASSERT_TRUE(tnApp.Register(server));
    }
    void TearDown() override
    {
        tnApp.Unregister();
        QDBusConnection::disconnectFromBus(server.name());
        QDBusConnection::disconnectFromBus(client.name());
    }

    static QDBusConnection Connect(const QString& address, const char* name)
    {
        return QDBusConnection::connectToBus(address, QString::fromLatin1(name));
    }

    QDBusPendingCall CallAddFiles(const QString& spec)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kAutomationService, kAutomationPath,
                                                           kAutomationInterface, QStringLiteral("AddFiles"));
        call << spec;
        return client.asyncCall(call, 60000);
    }

    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& arguments)
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kAutomationService, kAutomationPath, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(call, 60000);
        ProcessEventsUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }

    QString MenuCaptionProperty()
    {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {QString::fromLatin1(kAutomationInterface), QStringLiteral("MenuCaption")});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return QStringLiteral("<no answer: %1>").arg(reply.errorMessage());
        return qvariant_cast<QDBusVariant>(reply.arguments().front()).variant().toString();
    }

    test::PrivateBus bus;
    QDBusConnection server = Connect(bus.Address(), "tnapp-test-server");
    QDBusConnection client = Connect(bus.Address(), "tnapp-test-client");
    FakeProgram program;
    TtnApp tnApp{program};
};

TEST_F(TnAppTest, CallersSeeTheDescribedInterface)
{
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                    QStringLiteral("Introspect"), {});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const QString xml = reply.arguments().front().toString();
    EXPECT_TRUE(xml.contains(QLatin1String("<interface name=\"Tarnel.ItnApp\">"))) << xml.toStdString();
    EXPECT_TRUE(xml.contains(QLatin1String("<method name=\"AddFiles\">\n      <arg name=\"FileSpec\" type=\"s\" "
                                           "direction=\"in\"/>\n    </method>")))
        << xml.toStdString();
    EXPECT_TRUE(xml.contains(QLatin1String("<property name=\"MenuCaption\" type=\"s\" access=\"read\"/>")))
        << xml.toStdString();

    program.caption = "Ins Versteck";
    EXPECT_EQ(MenuCaptionProperty(), QStringLiteral("Ins Versteck"));
    // Read-only.
    const QDBusMessage set = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                                  {QString::fromLatin1(kAutomationInterface), QStringLiteral("MenuCaption"),
                                   QVariant::fromValue(QDBusVariant(QStringLiteral("x")))});
    EXPECT_EQ(set.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(MenuCaptionProperty(), QStringLiteral("Ins Versteck"));
}

TEST_F(TnAppTest, AddIsAnsweredASecondAfterItEndsWhileTheEventLoopRuns)
{
    QDBusPendingCall call = CallAddFiles(QStringLiteral("/media/a.jpg\r\n/media/folder"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !program.pending.empty(); }));
    EXPECT_EQ(program.added.front(), (std::vector<std::string>{"/media/a.jpg", "/media/folder"}));

    // While the add runs and during the second after it, other calls are answered.
    EXPECT_EQ(MenuCaptionProperty(), QStringLiteral("Add To Velmora"));
    EXPECT_FALSE(call.isFinished());
    QElapsedTimer sinceAdd;
    program.FinishAdd();
    sinceAdd.start();
    EXPECT_EQ(MenuCaptionProperty(), QStringLiteral("Add To Velmora"));
    EXPECT_FALSE(call.isFinished());

    ASSERT_TRUE(ProcessEventsUntil([&] { return call.isFinished(); }));
    EXPECT_GE(sinceAdd.elapsed(), TtnApp::kAnswerDelayMs - 50);   // timers may run a little early
    EXPECT_FALSE(call.isError()) << call.error().message().toStdString();
    EXPECT_EQ(tnApp.PendingCalls(), 0);
}

TEST_F(TnAppTest, FailuresReachTheCallerAsErrors)
{
    QDBusPendingCall told = CallAddFiles(QStringLiteral("/media/a.jpg"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !program.pending.empty(); }));
    program.FinishAdd(std::string("disk full"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return told.isFinished(); }));
    EXPECT_TRUE(told.isError());
    EXPECT_EQ(told.error().message(), QStringLiteral("disk full"));
    // The program has shown it; the caller knows so by the name.
    EXPECT_EQ(told.error().name(), QLatin1String(kNotAddedError));

    // Refusals the caller is to tell its user about, each by its own name.
    for (const auto& [reason, name] : {std::pair{ShellAddRefused::Reason::Disabled, kDisabledError},
                                       std::pair{ShellAddRefused::Reason::LibraryUnavailable, kLibraryUnavailableError}}) {
        program.refusal = reason;
        QDBusPendingCall refused = CallAddFiles(QStringLiteral("/media/c.jpg"));
        ASSERT_TRUE(ProcessEventsUntil([&] { return refused.isFinished(); }));
        EXPECT_TRUE(refused.isError());
        EXPECT_EQ(refused.error().name(), QLatin1String(name));
        EXPECT_EQ(refused.error().message(), QStringLiteral("refused"));
    }
    program.refusal.reset();

    program.throwOnAdd = true;
    QDBusPendingCall thrown = CallAddFiles(QStringLiteral("/media/b.jpg"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return thrown.isFinished(); }));
    EXPECT_TRUE(thrown.isError());
    EXPECT_EQ(thrown.error().message(), QStringLiteral("the library is gone"));
    EXPECT_EQ(tnApp.PendingCalls(), 0);
}

TEST_F(TnAppTest, LastCallAnsweredComesOnceWhenOverlappingCallsAreAllAnswered)
{
    int lastAnswered = 0;
    QObject::connect(&tnApp, &TtnApp::LastCallAnswered, [&] { ++lastAnswered; });
    QDBusPendingCall first = CallAddFiles(QStringLiteral("/a.jpg"));
    QDBusPendingCall second = CallAddFiles(QStringLiteral("/b.jpg"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return program.pending.size() == 2; }));
    EXPECT_EQ(tnApp.PendingCalls(), 2);
    program.FinishAdd();
    ASSERT_TRUE(ProcessEventsUntil([&] { return first.isFinished(); }));
    EXPECT_EQ(lastAnswered, 0);
    EXPECT_EQ(tnApp.PendingCalls(), 1);
    program.FinishAdd();
    ASSERT_TRUE(ProcessEventsUntil([&] { return second.isFinished(); }));
    EXPECT_EQ(lastAnswered, 1);
}

TEST_F(TnAppTest, TheNameIsOnlyEverOneProgramsAndAnAnswerOutlivesGivingItUp)
{
    // A second program on the same bus cannot take the name.
    FakeProgram other;
    TtnApp second(other);
    QDBusConnection secondServer = Connect(bus.Address(), "tnapp-test-second");
    EXPECT_FALSE(second.Register(secondServer));

    // Given up while a call runs: that call is still answered.
    QDBusPendingCall call = CallAddFiles(QStringLiteral("/a.jpg"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !program.pending.empty(); }));
    tnApp.Unregister();
    program.FinishAdd();
    ASSERT_TRUE(ProcessEventsUntil([&] { return call.isFinished(); }));
    EXPECT_FALSE(call.isError()) << call.error().message().toStdString();

    // Now the other one may have it.
    EXPECT_TRUE(second.Register(secondServer));
    second.Unregister();
    QDBusConnection::disconnectFromBus(secondServer.name());
}

} // namespace
} // namespace velmora
