// A real player seeks in items from the stream server, forward into a later chunk and
// back into the first, each seek a new ranged request.
//
// These tests run without a sound server: with PulseAudio's null sink, GStreamer's
// pulsesink stalls after a flushing seek in about one run of six (it reports an overflow
// and never asks for data again), with a local file just as with the stream server.
// GStreamer's own fake sink keeps to the clock like a sound device and never stalls.
#include "PlayerFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace velmora::test {
namespace {

class StreamPlayerSeekTest : public PlayerFixture {
protected:
    static void SetUpTestSuite() { StartApplication(false); }
    static void TearDownTestSuite() { StopApplication(); }

    // Pauses, seeks to target and plays on until playback has moved 300 ms past it.
    // Returns the lowest position reported meanwhile: a seek that did not happen
    // reports positions from elsewhere.
    qint64 SeekAndPlayOn(qint64 target)
    {
        player->pause();
        EXPECT_TRUE(WaitFor([&] { return player->playbackState() == QMediaPlayer::PausedState; })) << errors;
        player->setPosition(target);
        qint64 lowest = std::numeric_limits<qint64>::max();
        const auto watch = QObject::connect(player.get(), &QMediaPlayer::positionChanged,
                                            [&](qint64 p) { lowest = std::min(lowest, p); });
        player->play();
        EXPECT_TRUE(WaitFor([&] { return player->position() >= target + 300; })) << errors;
        QObject::disconnect(watch);
        return lowest;
    }

    void PlayWithSeeks(int item, const char* extension)
    {
        Open(item, extension);
        ASSERT_TRUE(WaitForStatus(QMediaPlayer::LoadedMedia)) << errors;
        player->play();
        ASSERT_TRUE(WaitFor([&] { return player->duration() > 0 && player->position() >= 300; })) << errors;
        const qint64 duration = player->duration();

        const qint64 forward = duration * 7 / 10;   // in the second chunk
        EXPECT_GE(SeekAndPlayOn(forward), forward - 50);
        const qint64 backward = duration * 2 / 10;  // back in the first
        EXPECT_GE(SeekAndPlayOn(backward), backward - 50);
        EXPECT_LT(player->position(), forward);

        // The last second, to the end of the media.
        EXPECT_GE(SeekAndPlayOn(duration - 1000), duration - 1050);
        EXPECT_TRUE(WaitForStatus(QMediaPlayer::EndOfMedia)) << errors;
        EXPECT_EQ(errors, "");
    }
};

TEST_F(StreamPlayerSeekTest, SeeksBothWaysInAWavItemAndPlaysToTheEnd)
{
    PlayWithSeeks(AddItem(TwoChunkWav(), "tone.wav"), ".WAV");
}

TEST_F(StreamPlayerSeekTest, SeeksBothWaysInAnMp3ItemAndPlaysToTheEnd)
{
    PlayWithSeeks(AddItem(TwoChunkMp3(), "tone.mp3"), ".MP3");
}

} // namespace
} // namespace velmora::test
