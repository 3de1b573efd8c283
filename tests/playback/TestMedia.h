#pragma once

#include <string>

namespace velmora::test {

// A 16-bit PCM WAV file of a tone that rises through its length, so every position
// sounds different.
std::string MakeWav(double seconds, int sampleRate, int channels);

// The WAV encoded as a constant-bitrate MP3 by the lame encoder; throws when lame is
// missing (scripts/install-deps installs it).
std::string MakeMp3(const std::string& wav, int kilobitsPerSecond);

} // namespace velmora::test
