// Thumbnails at the speed of a photo manager: a category of 500 large JPEGs (4000 x 3000,
// noisy so they keep a realistic size) shown in the thumbnail view of an 800 x 600 list.
// Measured on the first visit (nothing cached): the time until every row on screen shows
// its picture (the first screenful) and until every row does (the whole category); then,
// after the library and the list are closed and opened again as at a restart, the same
// from the cache. On both, the longest gap in the window's event loop while they fill,
// and the cache's size: its bytes per picture in the table, and the growth of the main
// database file. For comparison, the cost of one thumbnail made the plain way (full
// decode) and the way the workers make it (decoded at cell size), each with the item's
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
#include "store/Query.h"
#include "ui/ProgressRoutines.h"

#include "NoisyJpeg.h"
#include "ScratchDir.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QListView>
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

// The window's event loop watched by a 5 ms heartbeat: the gaps between its beats are
// the times the window could not react.
class Heartbeat {
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double gap = static_cast<double>(m_sinceBeat.nsecsElapsed()) / 1e6;
            m_gapsMs.push_back(gap);
            m_sinceBeat.restart();
        });
    }
    void Start()
    {
        m_gapsMs.clear();
        m_sinceBeat.start();
        m_timer.start();
    }
    void Report(const std::string& prefix, benchmark::State& state)
    {
        m_timer.stop();
        std::sort(m_gapsMs.begin(), m_gapsMs.end());
        const double longest = m_gapsMs.empty() ? 0 : m_gapsMs.back();
        const double p99 = m_gapsMs.empty() ? 0 : m_gapsMs[m_gapsMs.size() * 99 / 100];
        state.counters[prefix + "longest_stall_ms"] = longest;
        state.counters[prefix + "p99_gap_ms"] = p99;
        state.counters[prefix + "gaps_over_50ms"] =
            static_cast<double>(std::count_if(m_gapsMs.begin(), m_gapsMs.end(), [](double gap) { return gap > 50; }));
    }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceBeat;
    std::vector<double> m_gapsMs;
};

struct Visit {
    double firstScreenS = 0;
    double wholeS = 0;
    int decodes = 0;
};

// Opens the category in a new thumbnail view and waits until every row shows its
// picture.
Visit VisitCategory(const ItemListing& listing, Heartbeat& heartbeat, const std::string& prefix,
                    benchmark::State& state)
{
    ItemListView list;
    list.resize(800, 600);
    list.show();
    list.SetRows(listing.rows);
    // The icon view laid out, so that the rows on screen are known before it fills.
    list.setCurrentWidget(list.ThumbnailView());
    QCoreApplication::processEvents();
    const std::vector<int> visible = list.VisibleRows();
    std::vector<bool> onScreen(listing.rows.size(), false);
    for (int row : visible)
        onScreen[static_cast<std::size_t>(row)] = true;

    Visit visit;
    std::size_t shown = 0;
    std::size_t shownOnScreen = 0;
    QElapsedTimer fill;
    QEventLoop loop;
    QObject::connect(&list, &ItemListView::ThumbnailShown, &loop, [&](int row) {
        if (onScreen[static_cast<std::size_t>(row)] && ++shownOnScreen == visible.size())
            visit.firstScreenS = static_cast<double>(fill.nsecsElapsed()) / 1e9;
        if (++shown == listing.rows.size())
            loop.quit();
    });
    heartbeat.Start();
    fill.start();
    list.SetThumbnailView(true);
    loop.exec();
    visit.wholeS = static_cast<double>(fill.nsecsElapsed()) / 1e9;
    heartbeat.Report(prefix, state);
    visit.decodes = list.ThumbnailDecodes();
    state.counters[prefix + "screenful_rows"] = static_cast<double>(visible.size());
    state.counters[prefix + "first_screenful_s"] = visit.firstScreenS;
    state.counters[prefix + "whole_category_s"] = visit.wholeS;
    state.counters[prefix + "decodes"] = visit.decodes;
    return visit;
}

std::int64_t MainDatabaseBytes(const fs::path& folder)
{
    std::int64_t bytes = 0;
    for (const char* suffix : {"", "-wal"}) {
        const fs::path file = folder / (std::string(kMainDatabaseName) + suffix);
        if (fs::exists(file))
            bytes += static_cast<std::int64_t>(fs::file_size(file));
    }
    return bytes;
}

void BM_ThumbnailViewFill(benchmark::State& state)
{
    PhotoLibrary& photos = Photos();
    const ItemListing listing = ReadItemRows(photos.library->MainConnection(), CategoryItemsQuery(photos.category));
    const auto items = static_cast<double>(listing.rows.size());
    for (auto _ : state) {
        photos.library->MainConnection().Execute("Delete from thumbnail");
        photos.library->MainConnection().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
        const std::int64_t before = MainDatabaseBytes(photos.dir.path());

        // The same heartbeat over an idle window first gives the machine's own noise
        // (other processes taking the CPU) to compare with.
        Heartbeat heartbeat;
        {
            QEventLoop idle;
            heartbeat.Start();
            QTimer::singleShot(3000, &idle, &QEventLoop::quit);
            idle.exec();
            heartbeat.Report("idle_", state);
        }

        const Visit first = VisitCategory(listing, heartbeat, "first_", state);

        // As at a restart: every connection closed, the library opened again, a new list.
        photos.library.reset();
        ObjectStore::ForThisThread().Close();
        SetLibraryPassword({}, 0);
        photos.library = std::make_unique<Library>();
        photos.library->Open();
        if (!photos.library->VerifyPassword("bench password", true))
            throw std::runtime_error("the bench library refused its password");
        photos.library->MainConnection().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
        const std::int64_t after = MainDatabaseBytes(photos.dir.path());
        const Visit second = VisitCategory(listing, heartbeat, "restart_", state);

        {
            db::Query cache(photos.library->MainConnection(),
                            "Select count(*) as n, sum(length(th_data)) as bytes from thumbnail");
            const auto cached = static_cast<double>(cache.AsInteger("n"));
            state.counters["cached"] = cached;
            state.counters["cache_bytes_per_picture"] =
                cached > 0 ? static_cast<double>(cache.AsInteger("bytes")) / cached : 0;
        }
        state.counters["db_growth_bytes_per_picture"] = static_cast<double>(after - before) / items;
        state.SetIterationTime(first.wholeS + second.wholeS);
        state.counters["items"] = items;
        state.counters["picture_MB"] = static_cast<double>(photos.pictureBytes) / 1e6;
    }
}

// One thumbnail made the plain way: decrypt, decode the whole picture, scale.
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

// The same through the workers' maker: decoded at cell size.
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
