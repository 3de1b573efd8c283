// A camera's 4000 x 3000 picture as HEIC, PNG and (for reference) JPEG: the time to decode
// it for the preview (in full, turned upright) and for its thumbnail (the 64 x 64 cell).
// The HEIC is made by libheif's heif-enc from the JPEG, as a phone's photo is encoded.
#include "app/ThumbnailImage.h"
#include "playback/PictureDecoder.h"
#include "store/MemoryStream.h"

#include "NoisyJpeg.h"
#include "ScratchDir.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <map>
#include <stdexcept>
#include <string>

using namespace velmora;

namespace {

const std::map<std::string, QByteArray>& Pictures()
{
    static const std::map<std::string, QByteArray> pictures = [] {
        const QByteArray jpeg = bench::NoisyJpeg(7);
        QImage image = QImage::fromData(jpeg, "JPEG");
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");

        bench::ScratchDir dir;
        const QString in = QString::fromStdString((dir.path() / "in.jpg").string());
        const QString out = QString::fromStdString((dir.path() / "out.heic").string());
        QFile file(in);
        file.open(QIODevice::WriteOnly);
        file.write(jpeg);
        file.close();
        QProcess encoder;
        encoder.start("heif-enc", {"-q", "85", in, "-o", out});
        if (!encoder.waitForFinished(-1) || encoder.exitCode() != 0)
            throw std::runtime_error("heif-enc failed (scripts/install-deps installs libheif-examples)");
        QFile heic(out);
        heic.open(QIODevice::ReadOnly);
        return std::map<std::string, QByteArray>{{".JPG", jpeg}, {".PNG", png}, {".HEIC", heic.readAll()}};
    }();
    return pictures;
}

void Preview(benchmark::State& state, const std::string& extension)
{
    const QByteArray& bytes = Pictures().at(extension);
    for (auto _ : state) {
        const QImage image = DecodePictureBytes(extension, bytes);
        if (image.size() != QSize(4000, 3000))
            state.SkipWithError("wrong size");
    }
    state.counters["file MB"] = bytes.size() / 1e6;
}

void Thumbnail(benchmark::State& state, const std::string& extension)
{
    const QByteArray& bytes = Pictures().at(extension);
    for (auto _ : state) {
        MemoryStream stream(bytes.toStdString());
        benchmark::DoNotOptimize(MakeThumbnailImage(extension, stream));
    }
}

} // namespace

BENCHMARK_CAPTURE(Preview, heic, std::string(".HEIC"))->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(Preview, png, std::string(".PNG"))->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(Preview, jpeg, std::string(".JPG"))->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(Thumbnail, heic, std::string(".HEIC"))->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(Thumbnail, png, std::string(".PNG"))->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(Thumbnail, jpeg, std::string(".JPG"))->Unit(benchmark::kMillisecond)->Iterations(5);
