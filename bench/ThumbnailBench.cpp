// Thumbnails never block the window: a category of 500 large JPEGs (4000 x 3000, noisy
// so they keep a realistic size) shown in the thumbnail view. Measured: the longest gap
// in the window's event loop while the thumbnails fill in, and the time until every row
// shows its picture. For comparison, the cost of one thumbnail made the plain way (full
// decode) and the way the list makes it (decoded at cell size), each with the item's
// decryption. VELMORA_THUMB_BENCH_ITEMS overrides the number of pictures. Also the
// widget's share of filling the list with 10,000 rows.
#include "app/ItemListView.h"
#include "app/ThumbnailImage.h"
#include "catalogue/Categories.h"
#include "catalogue/ItemContent.h"
#include "catalogue/ItemKind.h"
#include "catalogue/ItemRows.h"
#include "playback/PictureDecoder.h"
#include "store/AddItemOnThread.h"
#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "ui/ProgressRoutines.h"

#include "NoisyJpeg.h"
#include "ScratchDir.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

int ItemCount()
{
    const char* text = std::getenv("VELMORA_THUMB_BENCH_ITEMS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 500;
}

// A library holding one category of large JPEGs, made once for all benchmarks.
struct PhotoLibrary : bench::ScratchLibrary {
    PhotoLibrary()
    {
        category = InsertCategory(library->MainConnection(), 0, "Photos");
        std::vector<QByteArray> pictures;
        for (unsigned seed = 1; seed <= 4; ++seed)
            pictures.push_back(bench::NoisyJpeg(seed));
        for (int i = 0; i < ItemCount(); ++i) {
            const QByteArray& picture = pictures[static_cast<std::size_t>(i) % pictures.size()];
            pictureBytes = std::max<std::int64_t>(pictureBytes, picture.size());
            MemoryStream source(picture.toStdString());
            const std::string name = "IMG_" + std::to_string(10000 + i) + ".jpg";
            if (!AddItemOnThread(category, source, name, -1, name))
                throw std::runtime_error("a picture was not added");
        }
    }
    int category = 0;
    std::int64_t pictureBytes = 0;
};

PhotoLibrary& Photos()
{
    static PhotoLibrary photos;
    return photos;
}

void BM_ThumbnailViewFill(benchmark::State& state)
{
    PhotoLibrary& photos = Photos();
    const ItemListing listing = ReadItemRows(photos.library->MainConnection(), CategoryItemsQuery(photos.category));
    for (auto _ : state) {
        ItemListView list;
        list.resize(800, 600);
        list.show();
        list.SetRows(listing.rows);

        int shown = 0;
        QEventLoop loop;
        QObject::connect(&list, &ItemListView::ThumbnailShown, &loop, [&] {
            if (++shown == static_cast<int>(listing.rows.size()))
                loop.quit();
        });
        // A 5 ms heartbeat: the gaps between its beats are the times the window could
        // not react. The same heartbeat over an idle list first gives the machine's
        // own noise (other processes taking the CPU) to compare with.
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(5);
        QElapsedTimer sinceBeat;
        QElapsedTimer phase;
        std::vector<double> gapsMs;
        double longestAtS = 0;
        double longestMs = 0;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const double gap = static_cast<double>(sinceBeat.nsecsElapsed()) / 1e6;
            if (gap > longestMs) {
                longestMs = gap;
                longestAtS = static_cast<double>(phase.nsecsElapsed()) / 1e9;
            }
            gapsMs.push_back(gap);
            sinceBeat.restart();
        });
        const auto summary = [&gapsMs, &longestAtS, &longestMs](const char* prefix, benchmark::State& st) {
            st.counters[std::string(prefix) + "longest_stall_at_s"] = longestAtS;
            std::sort(gapsMs.begin(), gapsMs.end());
            const double longest = gapsMs.empty() ? 0 : gapsMs.back();
            const double p99 = gapsMs.empty() ? 0 : gapsMs[gapsMs.size() * 99 / 100];
            const auto over50 = std::count_if(gapsMs.begin(), gapsMs.end(), [](double gap) { return gap > 50; });
            st.counters[std::string(prefix) + "longest_stall_ms"] = longest;
            st.counters[std::string(prefix) + "p99_gap_ms"] = p99;
            st.counters[std::string(prefix) + "gaps_over_50ms"] = static_cast<double>(over50);
            gapsMs.clear();
            longestMs = 0;
        };

        sinceBeat.start();
        phase.start();
        heartbeat.start();
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        summary("idle_", state);

        QElapsedTimer fill;
        fill.start();
        phase.restart();
        sinceBeat.restart();
        list.SetThumbnailView(true);
        loop.exec();
        const double seconds = static_cast<double>(fill.nsecsElapsed()) / 1e9;
        heartbeat.stop();
        summary("", state);

        state.SetIterationTime(seconds);
        state.counters["items"] = static_cast<double>(listing.rows.size());
        state.counters["picture_MB"] = static_cast<double>(photos.pictureBytes) / 1e6;
        state.counters["fill_s"] = seconds;
        state.counters["ticks_s"] = static_cast<double>(listing.rows.size()) * 0.1;
    }
}

// One thumbnail as the timer would make it on the window's thread without the list's
// care: decrypt, decode the whole picture, scale.
void BM_OneThumbnailFullDecode(benchmark::State& state)
{
    PhotoLibrary& photos = Photos();
    const ItemListing listing = ReadItemRows(photos.library->MainConnection(), CategoryItemsQuery(photos.category));
    std::size_t next = 0;
    NullProgress quiet;
    for (auto _ : state) {
        MemoryStream content;
        ReadItemToStream(photos.library->MainConnection(), listing.rows[next++ % listing.rows.size()].recIdent, content,
                         quiet);
        const QImage picture = DecodePicture(".JPG", content);
        benchmark::DoNotOptimize(picture.scaled(64, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
}

// The same through the list's own maker: decoded at cell size.
void BM_OneThumbnailAtCellSize(benchmark::State& state)
{
    PhotoLibrary& photos = Photos();
    const ItemListing listing = ReadItemRows(photos.library->MainConnection(), CategoryItemsQuery(photos.category));
    std::size_t next = 0;
    NullProgress quiet;
    for (auto _ : state) {
        MemoryStream content;
        ReadItemToStream(photos.library->MainConnection(), listing.rows[next++ % listing.rows.size()].recIdent, content,
                         quiet);
        benchmark::DoNotOptimize(MakeThumbnailImage(".JPG", content));
    }
}

// The rows of a 10,000-item listing put into the shown list (the reading of the rows is
// in catalogue_bench).
void BM_ListFill10000Rows(benchmark::State& state)
{
    std::vector<ItemRow> rows(10000);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ItemRow& row = rows[i];
        row.recIdent = static_cast<int>(i + 1);
        row.fileName = "IMG_" + std::to_string(100000 + i) + (i % 3 == 0 ? ".jpg" : i % 3 == 1 ? ".mp3" : ".mpg");
        row.description = "Holiday " + std::to_string(i * 7919 % 1000);
        row.size = static_cast<std::int64_t>(i) * 1000;
        row.dateAdded = db::Date(std::chrono::days(19800 + static_cast<int>(i % 400)));
        row.kind = ItemKindOf(row.fileName);
    }
    ItemListView list;
    list.resize(800, 600);
    list.show();
    for (auto _ : state) {
        list.SetRows(rows);
        QCoreApplication::processEvents();   // the layout and first paint of the new rows
    }
    state.counters["rows"] = static_cast<double>(list.RowCount());
}

} // namespace

BENCHMARK(BM_ListFill10000Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneThumbnailFullDecode)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OneThumbnailAtCellSize)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ThumbnailViewFill)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
