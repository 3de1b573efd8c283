// The stream server's port held by another program (another user's server): a song
// still plays to its end, from a port the server found free; and when no port at all
// can be listened on, the player says so once and waits for nothing.
#include "PlayerWindow.h"
#include "PulseAudioNullSink.h"
#include "TestMedia.h"

#include "platform/MachineInfo.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "playback/VideoStreamServ.h"

#include <QLabel>
#include <QProcess>
#include <QtTest/QtTest>

#include <memory>

using namespace velmora;
using namespace velmora::test;

namespace {

constexpr double kSeconds = 3;

const char* kModernMachine = "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\nIsInstalled=1\nVersion=9,0,0,0\n"
                             "[{22d6f312-b0f6-11d0-94ab-0080c74c7e95}]\nIsInstalled=1\nVersion=7,0,0,0\n";

} // namespace

class StreamPortTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void aSongPlaysToItsEndFromAFreePortWhenItsPortIsTaken();
    void withoutAnyPortThePlayerSaysSoOnceAndWaitsForNothing();

private:
    std::unique_ptr<PulseAudioNullSink> m_pulse;
    std::unique_ptr<TempDir> m_machineDir;
    std::unique_ptr<TempDir> m_otherLibrary;
    QProcess m_holder;   // another program on the port
    int m_heldPort = 0;
    std::string m_song;
};

void StreamPortTest::initTestCase()
{
    m_pulse = std::make_unique<PulseAudioNullSink>();
    QCOMPARE(QString::fromStdString(m_pulse->Failure()), QString());
    m_machineDir = std::make_unique<TempDir>();
    WriteFile(*m_machineDir / "machine.ini", kModernMachine);
    qputenv(MachineInfo::kOverrideVariable, QByteArray::fromStdString((*m_machineDir / "machine.ini").string()));
    m_song = MakeWav(kSeconds, 44100, 2);

    // Another user's stream server, in a process of its own, on both loopback addresses.
    m_otherLibrary = std::make_unique<TempDir>();
    const std::map<std::string, std::string> env{{"VELMORA_PASSWORD", "someone else's"}};
    const std::string library = m_otherLibrary->str();
    QCOMPARE(RunProgram("velmora-tool", {"init", "--data", library}, env).exitCode, 0);
    WriteFile(*m_otherLibrary / "theirs.wav", m_song);
    QCOMPARE(RunProgram("velmora-tool", {"add", "--data", library, (*m_otherLibrary / "theirs.wav").string()}, env)
                 .exitCode,
             0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELMORA_PASSWORD", "someone else's");
    m_holder.setProcessEnvironment(environment);
    m_holder.start(QString::fromStdString((BinDir() / "velmora-tool").string()),
                   {"serve", "--data", QString::fromStdString(library), "--port", "0", "1"});
    QVERIFY(m_holder.waitForStarted(PlayerWindow::kPatienceMs));
    QString out;
    while (!out.contains('\n') && m_holder.waitForReadyRead(PlayerWindow::kPatienceMs))
        out += QString::fromUtf8(m_holder.readAllStandardOutput());
    const QRegularExpressionMatch port = QRegularExpression("localhost:(\\d+)/").match(out);
    QVERIFY2(port.hasMatch(), qPrintable(out + m_holder.readAllStandardError()));
    m_heldPort = port.captured(1).toInt();
}

void StreamPortTest::cleanupTestCase()
{
    m_holder.kill();
    m_holder.waitForFinished(PlayerWindow::kPatienceMs);
    qunsetenv(MachineInfo::kOverrideVariable);
    m_pulse.reset();
}

void StreamPortTest::aSongPlaysToItsEndFromAFreePortWhenItsPortIsTaken()
{
    PlayerWindow window({}, TNMGeneralServer::kIdleTimeout, m_heldPort);
    PlayerHost& host = window.Host();
    QVERIFY(host.ModernPlayer() != nullptr);
    const int ident = window.AddItem(m_song, "song.wav");
    window.DoubleClickItem(ident);

    QVERIFY2(window.WaitForState("Playing"), qPrintable(window.StateText()));
    const int port = window.Main().StreamServer().BoundPort();
    QVERIFY(port != m_heldPort);
    QVERIFY2(host.ModernPlayer()->URL().startsWith(QString("http://localhost:%1/").arg(port)),
             qPrintable(host.ModernPlayer()->URL()));
    QVERIFY(window.WaitFor([&] { return host.MediaEnded; }));
    QCOMPARE(window.StateText(), QString("Media Ended"));
    QVERIFY(window.Boxes().messages.empty());
    QCOMPARE(m_holder.state(), QProcess::Running);   // the other program was never disturbed
}

void StreamPortTest::withoutAnyPortThePlayerSaysSoOnceAndWaitsForNothing()
{
    PlayerWindow window({}, TNMGeneralServer::kIdleTimeout, m_heldPort, false);
    PlayerHost& host = window.Host();
    QVERIFY(!window.Main().StreamServer().Listening());
    const int first = window.AddItem(m_song, "song.wav");
    const int second = window.AddItem(m_song, "other.wav");
    auto* caption = window.Main().findChild<QLabel*>("lblMoviePlayer");
    QVERIFY(caption != nullptr);

    for (const int ident : {first, second, first}) {
        window.DoubleClickItem(ident);
        QTRY_COMPARE_WITH_TIMEOUT(caption->text(), QString(PlayerHost::kNoStreamPortMessage), 10000);
        // The player is given nothing it would wait on for ever.
        QVERIFY(host.ModernPlayer()->URL().isEmpty());
    }
    QCOMPARE(window.Boxes().messages.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(window.Boxes().messages.front().text), QString(PlayerHost::kNoStreamPortMessage));
    QVERIFY(window.StateText() != "Playing");
}

QTEST_MAIN(StreamPortTest)
#include "StreamPortTest.moc"
