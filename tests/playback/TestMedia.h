#pragma once

#include <string>

namespace velmora::test {

// A 16-bit PCM WAV file of a tone that rises through its length, so every position
// sounds different.
std::string MakeWav(double seconds, int sampleRate, int channels);

// The WAV encoded as a constant-bitrate MP3 by the lame encoder; throws when lame is
// missing (scripts/install-deps installs it).
std::string MakeMp3(const std::string& wav, int kilobitsPerSecond);

// A small movie of a moving test picture (160 x 120, 25 frames a second) with a tone,
// made by GStreamer's gst-launch-1.0 (scripts/install-deps installs it); throws when it
// fails. An AVI holds MPEG-4 video and MP3 sound, a WMV holds WMV 8 and WMA; an MPEG
// and a VOB are program streams of MPEG-1 or MPEG-2 video with MPEG-1 layer II sound.
std::string MakeAvi(double seconds);
// The same AVI of colour bars, which fill the picture: a black screen shows at once.
std::string MakeColourBarAvi(double seconds);
std::string MakeWmv(double seconds);
std::string MakeMpeg(double seconds);
std::string MakeVob(double seconds);

// A tone in other sound formats: MPEG-1 layer II, WMA (in ASF) and AIFF by
// gst-launch-1.0; Sun audio (AU) written here.
std::string MakeMp2(double seconds);
std::string MakeWma(double seconds);
std::string MakeAiff(double seconds);
std::string MakeAu(double seconds, int sampleRate);

} // namespace velmora::test
