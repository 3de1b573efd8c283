#include "PlayerFixture.h"

#include "TestMedia.h"

#include "playback/StreamItemIdent.h"
#include "playback/StreamUrl.h"

#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <ctime>

namespace velmora::test {

std::unique_ptr<PulseAudioNullSink> PlayerFixture::s_pulse;
std::unique_ptr<TempDir> PlayerFixture::s_noServerDir;
std::unique_ptr<QGuiApplication> PlayerFixture::s_app;

void PlayerFixture::StartApplication(bool withSoundServer)
{
    setenv("QT_MEDIA_BACKEND", "gstreamer", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (withSoundServer) {
        s_pulse = std::make_unique<PulseAudioNullSink>();
    } else {
        // A socket that does not exist: not even a sound server of the desktop is used.
        s_noServerDir = std::make_unique<TempDir>();
        setenv("PULSE_SERVER", ("unix:" + (*s_noServerDir / "none").string()).c_str(), 1);
    }
    static int argc = 1;
    static char name[] = "stream_player_tests";
    static char* argv[] = {name, nullptr};
    s_app = std::make_unique<QGuiApplication>(argc, argv);
}

void PlayerFixture::StopApplication()
{
    s_app.reset();
    s_pulse.reset();
    if (s_noServerDir) {
        unsetenv("PULSE_SERVER");
        s_noServerDir.reset();
    }
}

void PlayerFixture::SetUp()
{
    LibraryFixture::SetUp();
    if (s_pulse) {
        ASSERT_EQ(s_pulse->Failure(), "");
    }
    server.Port = 0;   // a free port: tests run side by side
    ASSERT_TRUE(server.Listen());
    player = std::make_unique<QMediaPlayer>();
    audio = std::make_unique<QAudioOutput>();
    player->setAudioOutput(audio.get());
    QObject::connect(player.get(), &QMediaPlayer::errorOccurred,
                     [this](QMediaPlayer::Error, const QString& text) { errors += text.toStdString() + "\n"; });
}

void PlayerFixture::TearDown()
{
    if (player) {
        player->stop();
        player->setSource(QUrl());
    }
    player.reset();
    audio.reset();
    server.Stop();
    StreamItemIdent = 0;
    LibraryFixture::TearDown();
}

void PlayerFixture::Open(int item, const char* extension)
{
    StreamItemIdent = item;
    player->setSource(QUrl(QString::fromStdString(server.ItemUrl(extension))));
}

bool PlayerFixture::WaitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor([&] { return condition() || !errors.empty(); }, kPatienceMs) && errors.empty();
}

bool PlayerFixture::WaitForStatus(QMediaPlayer::MediaStatus status)
{
    return WaitFor([&] { return player->mediaStatus() == status; });
}

std::string TwoChunkWav()
{
    return MakeWav(2.3, 96000, 2);
}

std::string TwoChunkMp3()
{
    return MakeMp3(MakeWav(13, 44100, 2), 320);
}

} // namespace velmora::test
