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

// A movie or sound file of today's formats, made by ffmpeg, chosen by the file name's
// extension: movies are 160 x 120 colour bars (25 frames a second) with a tone, sound a
// tone. The container and codecs are those of a phone's, a camera's or a music folder's
// files: .mp4, .m4v and .3gp H.264/AAC with the index at the end; .mov H.265/AAC; .webm
// VP9/Opus; .mkv H.264/FLAC; .mts and .m2ts MPEG transport streams of H.264/AAC; .flac;
// .ogg and .oga Vorbis; .opus; .m4a and .aac AAC. Throws when ffmpeg fails.
std::string MakeTodaysMedia(const std::string& fileName, double seconds);
// A movie of noise (which no codec makes small) at about bytesPerSecond, in MJPEG with
// MP3 sound in AVI, by gst-launch-1.0: cheap to decode at any rate.
std::string MakeHighRateAvi(double seconds, int bytesPerSecond);

// The picture (in any format Qt reads) as a file of this extension, written by the
// tools people's pictures come from: ImageMagick for .png, .webp, .tif and .tiff,
// libheif's heif-enc for .heic and .heif, Qt for .jpg. orientation (1 to 8) is the
// camera's tag: the stored pixels stay as given and the tag says how to turn them (an
// Exif block in JPEG and HEIC, the TIFF tag in TIFF; PNG and WebP take none).
std::string MakeTodaysPicture(const std::string& pngBytes, const std::string& extension, int orientation = 1);
// The JPEG with an Exif block whose orientation tag is orientation, placed after its
// start marker, as cameras write it.
std::string WithExifOrientation(const std::string& jpeg, int orientation);

} // namespace velmora::test
