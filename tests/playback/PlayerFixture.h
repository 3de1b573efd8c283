#pragma once

#include "PulseAudioNullSink.h"
#include "support/LibraryFixture.h"

#include "playback/VideoStreamServ.h"

#include <QAudioOutput>
#include <QGuiApplication>
#include <QMediaPlayer>

#include <functional>
#include <memory>
#include <string>

namespace velmora::test {

// A library, the stream server and a Qt Multimedia player on its GStreamer backend in an
// offscreen application, opening items as the player host does.
class PlayerFixture : public LibraryFixture {
protected:
    // Generous: a loaded machine may be slow; a fault shows as a wait that never ends.
    static constexpr int kPatienceMs = 60000;

    // withSoundServer: play to a private PulseAudio null sink; otherwise no sound server
    // is reachable and GStreamer plays to its own clock-synchronised fake sink.
    static void StartApplication(bool withSoundServer);
    static void StopApplication();

    void SetUp() override;
    void TearDown() override;

    // StreamItemIdent first, then a fresh URL of the item's extension.
    void Open(int item, const char* extension);
    // Waits until condition holds; false on timeout or when the player reported an error.
    bool WaitFor(const std::function<bool()>& condition);
    bool WaitForStatus(QMediaPlayer::MediaStatus status);

    TVideoStreamServ server;
    std::unique_ptr<QMediaPlayer> player;
    std::unique_ptr<QAudioOutput> audio;
    std::string errors;

private:
    static std::unique_ptr<PulseAudioNullSink> s_pulse;
    static std::unique_ptr<TempDir> s_noServerDir;
    static std::unique_ptr<QGuiApplication> s_app;
};

// 96 kHz stereo 16-bit: 2.3 s fill two chunks.
std::string TwoChunkWav();
// 320 kbit/s: 13 s fill two chunks.
std::string TwoChunkMp3();

} // namespace velmora::test
