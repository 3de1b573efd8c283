#include "TestMedia.h"

#include "support/TestSupport.h"

#include <QProcess>
#include <QSize>

#include <cmath>
#include <cstdint>
#include <filesystem>
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
                      const QString& pattern = QStringLiteral("ball"), QSize size = QSize(160, 120))
{
    const int frames = static_cast<int>(seconds * 25);
    return RunGstLaunch(QStringList{"videotestsrc", "pattern=" + pattern, QStringLiteral("num-buffers=%1").arg(frames), "!",
                                    QStringLiteral("video/x-raw,width=%1,height=%2,framerate=25/1")
                                        .arg(size.width())
                                        .arg(size.height()),
                                    "!"} +
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

namespace {

void RunTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForStarted(30000))
        throw std::runtime_error(program.toStdString() + " cannot be started (scripts/install-deps installs it)");
    tool.waitForFinished(-1);
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        throw std::runtime_error(program.toStdString() + " failed: " + tool.readAll().toStdString());
}

} // namespace

std::string WithExifOrientation(const std::string& jpeg, int orientation)
{
    if (jpeg.size() < 2 || jpeg.compare(0, 2, "\xff\xd8") != 0)
        throw std::invalid_argument("not a JPEG");
    // A big-endian TIFF header and one directory of one entry: Orientation, a SHORT.
    const std::string tiff = std::string("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19) +
                             static_cast<char>(orientation) + std::string(6, '\0');
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = app1.size() + 2;
    const std::string segment = std::string("\xff\xe1") + static_cast<char>(length >> 8) +
                                static_cast<char>(length & 0xff) + app1;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string MakeTodaysPicture(const std::string& pngBytes, const std::string& extension, int orientation)
{
    TempDir dir;
    const auto path = [&](const std::string& name) { return QString::fromStdString((dir / name).string()); };
    WriteFile(dir / "in.png", pngBytes);
    if (extension == ".jpg" || extension == ".heic" || extension == ".heif") {
        RunTool("convert", {path("in.png"), "-quality", "95", path("plain.jpg")});
        WriteFile(dir / "in.jpg", orientation == 1 ? ReadFile(dir / "plain.jpg")
                                                   : WithExifOrientation(ReadFile(dir / "plain.jpg"), orientation));
        if (extension == ".jpg")
            return ReadFile(dir / "in.jpg");
        // heif-enc keeps the JPEG's Exif block, tag and all, and the pixels as stored.
        RunTool("heif-enc", {"-q", "95", path("in.jpg"), "-o", path("out.heic")});
        return ReadFile(dir / "out.heic");
    }
    static const char* const kOrientationNames[] = {"TopLeft",    "TopLeft",  "TopRight", "BottomRight",
                                                    "BottomLeft", "LeftTop",  "RightTop", "RightBottom",
                                                    "LeftBottom"};
    QStringList arguments{path("in.png")};
    if (orientation != 1)
        arguments << "-orient" << kOrientationNames[orientation];
    if (extension == ".webp")
        arguments << "-quality" << "100" << "-define" << "webp:lossless=true";
    const std::string out = "out" + extension;
    arguments << path(out);
    RunTool("convert", arguments);
    return ReadFile(dir / out);
}

std::string MakeTodaysMedia(const std::string& fileName, double seconds)
{
    const std::string extension = fileName.substr(fileName.rfind('.'));
    const QString length = QString::number(seconds);
    const QStringList bars{"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=" + length};
    const QStringList tone{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=" + length};
    const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
    const QStringList aac{"-c:a", "aac", "-b:a", "96k"};
    QStringList arguments;
    if (extension == ".mp4" || extension == ".m4v" || extension == ".3gp")
        arguments = bars + tone + h264 + aac;   // ffmpeg writes the index at the end unless told
    else if (extension == ".mov")
        arguments = bars + tone + QStringList{"-c:v", "libx265", "-preset", "ultrafast", "-tag:v", "hvc1",
                                              "-x265-params", "log-level=error"} + aac;
    else if (extension == ".webm")
        arguments = bars + tone + QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",
                                              "-c:a", "libopus"};
    else if (extension == ".mkv")
        arguments = bars + tone + h264 + QStringList{"-c:a", "flac"};
    else if (extension == ".mts")
        arguments = bars + tone + h264 + aac + QStringList{"-f", "mpegts"};
    else if (extension == ".m2ts")
        arguments = bars + tone + h264 + aac + QStringList{"-f", "mpegts", "-mpegts_m2ts_mode", "1"};
    else if (extension == ".flac")
        arguments = tone + QStringList{"-c:a", "flac"};
    else if (extension == ".ogg" || extension == ".oga")
        arguments = tone + QStringList{"-c:a", "libvorbis", "-f", "ogg"};
    else if (extension == ".opus")
        arguments = tone + QStringList{"-c:a", "libopus"};
    else if (extension == ".m4a")
        arguments = tone + aac;
    else if (extension == ".aac")
        arguments = tone + aac + QStringList{"-f", "adts"};
    else
        throw std::invalid_argument("no recipe for " + fileName);

    TempDir dir;
    const std::filesystem::path out = dir / ("out" + extension);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start("ffmpeg", QStringList{"-nostdin", "-loglevel", "error", "-y"} + arguments +
                               QStringList{"-shortest", QString::fromStdString(out.string())});
    if (!ffmpeg.waitForStarted(30000))
        throw std::runtime_error("ffmpeg cannot be started (scripts/install-deps installs it)");
    ffmpeg.waitForFinished(-1);
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        throw std::runtime_error("ffmpeg failed for " + fileName + ": " + ffmpeg.readAll().toStdString());
    return ReadFile(out);
}

std::string MakeHighRateAvi(double seconds, int bytesPerSecond)
{
    // Noise at JPEG quality 95 costs about a byte a pixel.
    const int pixels = bytesPerSecond / 25;
    const int width = (static_cast<int>(std::sqrt(pixels * 4.0 / 3.0)) + 15) / 16 * 16;
    const int height = (width * 3 / 4 + 15) / 16 * 16;
    return MakeMovie(seconds, {"jpegenc", "quality=95"}, "lamemp3enc", "avimux", QStringLiteral("snow"),
                     QSize(width, height));
}

} // namespace velmora::test
