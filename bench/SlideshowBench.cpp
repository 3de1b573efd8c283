// The slideshow over 4000 x 3000 JPEGs in the real main window: the time from Next to
// the new picture drawn on the slideshow window, and the longest stall of the window's
// event loop while stepping (a 5 ms heartbeat; its gaps are the times the buttons and
// keys could not answer). The same heartbeat over the idle window first gives the
// machine's own noise.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "platform/SettingsStore.h"
#include "playback/ImageAspect.h"
#include "playback/Preview.h"
#include "store/AddItemOnThread.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"

#include "NoisyJpeg.h"
#include "ScratchDir.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

constexpr int kPictures = 6;

// Waits in the event loop until done() holds (checked every millisecond).
void RunUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
}

struct ShowWindow {
    ShowWindow()
    {
        qputenv("XDG_CONFIG_HOME", config.path().string().c_str());
        SettingsStore().WriteBool(SettingsStore::kSettings, "Background Monitor", false);
        fs::copy_file(fs::path(GetShippedDir()) / kMainDatabaseName, data.path() / kMainDatabaseName);
        SetDataDir(data.path().string());
        SetLibraryPassword({}, 0);
        MainWindowOptions options;
        options.streamPort = 0;
        main = std::make_unique<TfrmMain>(options);
        if (!main->LibraryOpened() || !main->VerifyPassword("bench password"))
            throw std::runtime_error("the bench library did not open");
        for (int i = 0; i < kPictures; ++i) {
            const QByteArray picture = bench::NoisyJpeg(static_cast<unsigned>(i + 1));
            pictureBytes = std::max<std::int64_t>(pictureBytes, picture.size());
            MemoryStream source(picture.toStdString());
            const std::string name = "IMG_" + std::to_string(100 + i) + ".jpg";
            if (!AddItemOnThread(std::nullopt, source, name, -1, name))
                throw std::runtime_error("a picture was not added");
        }
        main->show();
        RunUntil([this] { return main->mainList->RowCount() == kPictures; });
        if (main->mainList->RowCount() != kPictures)
            throw std::runtime_error("the pictures are not listed");
    }
    ~ShowWindow()
    {
        main.reset();
        ObjectStore::ForThisThread().Close();
        SetDataDir({});
    }

    bench::ScratchDir data;
    bench::ScratchDir config;
    std::unique_ptr<TfrmMain> main;
    std::int64_t pictureBytes = 0;
};

void BM_SlideshowStep(benchmark::State& state)
{
    ShowWindow window;
    TfrmMain& main = *window.main;
    TImageAspect& picture = *main.picture;
    main.doViewSlideshow();
    RunUntil([&] { return !picture.Picture().isNull(); });
    main.frmPreview().tmrAutoadvance.stop();   // stepped by hand only

    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(5);
    QElapsedTimer sinceBeat;
    std::vector<double> gaps;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        gaps.push_back(static_cast<double>(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.restart();
    });
    const auto longestGap = [&gaps] {
        const double longest = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
        gaps.clear();
        return longest;
    };
    sinceBeat.start();
    heartbeat.start();
    {
        QEventLoop idle;
        QTimer::singleShot(2000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    state.counters["idle_longest_stall_ms"] = longestGap();

    std::vector<double> steps;
    for (auto _ : state) {
        const qint64 before = picture.Picture().cacheKey();
        QElapsedTimer step;
        step.start();
        main.frmPreview().btnNextClick();
        RunUntil([&] { return picture.Picture().cacheKey() != before; });
        picture.repaint();
        const double ms = static_cast<double>(step.nsecsElapsed()) / 1e6;
        steps.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    heartbeat.stop();
    std::sort(steps.begin(), steps.end());
    state.counters["longest_stall_ms"] = longestGap();
    state.counters["longest_step_ms"] = steps.empty() ? 0 : steps.back();
    state.counters["picture_MB"] = static_cast<double>(window.pictureBytes) / 1e6;
    state.counters["window_w"] = main.frmPreview().width();
    state.counters["window_h"] = main.frmPreview().height();
}
BENCHMARK(BM_SlideshowStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);

// Drawing the 4000 x 3000 picture stretched onto the slideshow window once.
void BM_SlideshowPaint(benchmark::State& state)
{
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    TImageAspect picture;
    picture.SetAutoSize(false);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    picture.resize(screen);
    picture.SetPicture(photo);
    picture.show();
    QApplication::processEvents();
    for (auto _ : state)
        picture.repaint();
    state.counters["window_w"] = screen.width();
    state.counters["window_h"] = screen.height();
}
BENCHMARK(BM_SlideshowPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
