#include "TestMedia.h"

#include "support/TestSupport.h"

#include <QProcess>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>

namespace velmora::test {

namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
}

} // namespace

std::string MakeWav(double seconds, int sampleRate, int channels)
{
    const auto frames = static_cast<std::uint32_t>(seconds * sampleRate);
    const std::uint32_t dataSize = frames * static_cast<std::uint32_t>(channels) * 2;
    std::string wav = "RIFF";
    PutLittleEndian(wav, 36 + dataSize, 4);
    wav += "WAVEfmt ";
    PutLittleEndian(wav, 16, 4);
    PutLittleEndian(wav, 1, 2);   // PCM
    PutLittleEndian(wav, static_cast<std::uint32_t>(channels), 2);
    PutLittleEndian(wav, static_cast<std::uint32_t>(sampleRate), 4);
    PutLittleEndian(wav, static_cast<std::uint32_t>(sampleRate * channels * 2), 4);
    PutLittleEndian(wav, static_cast<std::uint32_t>(channels * 2), 2);
    PutLittleEndian(wav, 16, 2);
    wav += "data";
    PutLittleEndian(wav, dataSize, 4);
    wav.reserve(wav.size() + dataSize);
    double phase = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double frequency = 200.0 + 800.0 * i / frames;
        phase += 2 * std::numbers::pi * frequency / sampleRate;
        const auto sample = static_cast<std::int16_t>(8000 * std::sin(phase));
        for (int c = 0; c < channels; ++c)
            PutLittleEndian(wav, static_cast<std::uint16_t>(sample), 2);
    }
    return wav;
}

std::string MakeMp3(const std::string& wav, int kilobitsPerSecond)
{
    TempDir dir;
    WriteFile(dir / "in.wav", wav);
    QProcess lame;
    lame.setProcessChannelMode(QProcess::MergedChannels);
    lame.start("lame", {"--quiet", "--cbr", "-b", QString::number(kilobitsPerSecond),
                        QString::fromStdString((dir / "in.wav").string()),
                        QString::fromStdString((dir / "out.mp3").string())});
    if (!lame.waitForStarted(30000))
        throw std::runtime_error("the lame encoder cannot be started (scripts/install-deps installs it)");
    lame.waitForFinished(-1);
    if (lame.exitStatus() != QProcess::NormalExit || lame.exitCode() != 0)
        throw std::runtime_error("lame failed: " + lame.readAll().toStdString());
    return ReadFile(dir / "out.mp3");
}

namespace {

// Runs gst-launch-1.0 with these pipeline arguments, which end in a filesink to the file
// named by "location=OUT", and returns the file's bytes.
std::string RunGstLaunch(QStringList arguments)
{
    TempDir dir;
    const QString out = QString::fromStdString((dir / "out").string());
    arguments.replaceInStrings(QStringLiteral("location=OUT"), QStringLiteral("location=") + out);
    QProcess gst;
    gst.setProcessChannelMode(QProcess::MergedChannels);
    gst.start("gst-launch-1.0", QStringList{"-q"} + arguments);
    if (!gst.waitForStarted(30000))
        throw std::runtime_error("gst-launch-1.0 cannot be started (scripts/install-deps installs it)");
    gst.waitForFinished(-1);
    if (gst.exitStatus() != QProcess::NormalExit || gst.exitCode() != 0)
        throw std::runtime_error("gst-launch-1.0 failed: " + gst.readAll().toStdString());
    return ReadFile(out.toStdString());
}

QStringList ToneSource(double seconds)
{
    return {"audiotestsrc", QStringLiteral("num-buffers=%1").arg(static_cast<int>(seconds * 44100 / 1024)), "!",
            "audio/x-raw,rate=44100,channels=2", "!", "audioconvert", "!"};
}

std::string MakeMovie(double seconds, const QStringList& videoEncoder, const QString& audioEncoder, const QString& muxer,
                      const QString& pattern = QStringLiteral("ball"))
{
    const int frames = static_cast<int>(seconds * 25);
    return RunGstLaunch(QStringList{"videotestsrc", "pattern=" + pattern, QStringLiteral("num-buffers=%1").arg(frames), "!",
                                    "video/x-raw,width=160,height=120,framerate=25/1", "!"} +
                        videoEncoder + QStringList{"!", muxer, "name=mux", "!", "filesink", "location=OUT"} +
                        ToneSource(seconds) + QStringList{audioEncoder, "!", "mux."});
}

std::string MakeSound(double seconds, const QStringList& encoder)
{
    return RunGstLaunch(ToneSource(seconds) + encoder + QStringList{"!", "filesink", "location=OUT"});
}

} // namespace

std::string MakeAvi(double seconds)
{
    return MakeMovie(seconds, {"avenc_mpeg4"}, "lamemp3enc", "avimux");
}

std::string MakeColourBarAvi(double seconds)
{
    return MakeMovie(seconds, {"avenc_mpeg4"}, "lamemp3enc", "avimux", QStringLiteral("smpte"));
}

std::string MakeWmv(double seconds)
{
    return MakeMovie(seconds, {"avenc_wmv2"}, "avenc_wmav2", "asfmux");
}

// mpeg2enc, not avenc_mpeg1video/avenc_mpeg2video: those reject every frame rate here.
std::string MakeMpeg(double seconds)
{
    return MakeMovie(seconds, {"mpeg2enc", "format=0"}, "avenc_mp2", "mpegpsmux");
}

std::string MakeVob(double seconds)
{
    return MakeMovie(seconds, {"mpeg2enc", "format=3"}, "avenc_mp2", "mpegpsmux");
}

std::string MakeMp2(double seconds)
{
    return MakeSound(seconds, {"avenc_mp2"});
}

std::string MakeWma(double seconds)
{
    return MakeSound(seconds, {"avenc_wmav2", "!", "asfmux"});
}

std::string MakeAiff(double seconds)
{
    return MakeSound(seconds, {"aiffmux"});
}

std::string MakeAu(double seconds, int sampleRate)
{
    // The WAV's samples, big-endian behind the 24-byte ".snd" header (16-bit linear, mono).
    const std::string wav = MakeWav(seconds, sampleRate, 1);
    const std::string samples = wav.substr(44);
    std::string au = ".snd";
    for (std::uint32_t field : {24u, static_cast<std::uint32_t>(samples.size()), 3u,
                                static_cast<std::uint32_t>(sampleRate), 1u}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            au += static_cast<char>((field >> shift) & 0xff);
    }
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        au += samples[i + 1];
        au += samples[i];
    }
    return au;
}

} // namespace velmora::test
