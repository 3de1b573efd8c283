// A real player plays items from the stream server to the end: Qt Multimedia on its
// GStreamer backend, playing to a private PulseAudio null sink.
#include "PlayerFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora::test {
namespace {

class StreamPlayerTest : public PlayerFixture {
protected:
    static void SetUpTestSuite() { StartApplication(true); }
    static void TearDownTestSuite() { StopApplication(); }

    // Plays the item from its start to the end of the media; returns the furthest
    // position the player reported.
    qint64 PlayThrough(int item, const char* extension)
    {
        Open(item, extension);
        EXPECT_TRUE(WaitForStatus(QMediaPlayer::LoadedMedia)) << errors;
        qint64 furthest = 0;
        QObject::connect(player.get(), &QMediaPlayer::positionChanged,
                         [&](qint64 p) { furthest = std::max(furthest, p); });
        player->play();
        EXPECT_TRUE(WaitForStatus(QMediaPlayer::EndOfMedia)) << errors;
        EXPECT_EQ(errors, "");
        return furthest;
    }
};

TEST_F(StreamPlayerTest, PlaysAWavItemToTheEnd)
{
    const qint64 furthest = PlayThrough(AddItem(TwoChunkWav(), "tone.wav"), ".WAV");
    EXPECT_NEAR(player->duration(), 2300, 10);
    // The whole body arrived: playing got to the last samples, not just to EOS.
    EXPECT_GE(furthest, player->duration() - 100);
}

TEST_F(StreamPlayerTest, PlaysAnMp3ItemToTheEnd)
{
    const qint64 furthest = PlayThrough(AddItem(TwoChunkMp3(), "tone.mp3"), ".MP3");
    EXPECT_NEAR(player->duration(), 13000, 100);
    EXPECT_GE(furthest, player->duration() - 100);
}

} // namespace
} // namespace velmora::test
