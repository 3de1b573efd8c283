// Catalogue figures: filling the list rows of a 10,000-item category (goal < 0.5 s),
// a search over 100,000 items (goal < 0.3 s), and adding a folder of 1,000 small
// pictures, whose per-file cost beyond the bytes written should stay under 5 ms.
#include "catalogue/Categories.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemRows.h"
#include "catalogue/ItemSize.h"
#include "catalogue/Search.h"
#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/Transaction.h"
#include "ui/MessageBoxes.h"
#include "ui/ProgressRoutines.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include "ScratchDir.h"

#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

using velmora::bench::ScratchDir;

// A fresh library with a password, as the program holds it after the gate.
struct BenchLibrary : bench::ScratchLibrary {
    db::Connection& conn() { return library->MainConnection(); }
};

// count catalogue rows made in one statement: names IMG_000001.jpg / .mp3 / .mpg in
// turn, descriptions "Holiday n", every tenth with " beach". No content is stored:
// listing and search read Record only.
void FillRecords(db::Connection& conn, int count, int categoryId)
{
    db::Transaction transaction(conn);
    conn.Execute(SqlFormat(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %d) "
        "INSERT INTO Record (rec_tnorigname, rec_description, rec_date_added, rec_size, rec_rank, rec_objstore) "
        "SELECT printf('IMG_%%06d.%%s', i, CASE i %% 3 WHEN 0 THEN 'jpg' WHEN 1 THEN 'mp3' ELSE 'mpg' END), "
        "'Holiday ' || (i * 7919 %% 1000) || CASE WHEN i %% 10 = 0 THEN ' beach' ELSE '' END, "
        "'2024-05-01', i * 1000, 1, 1 FROM n",
        count));
    if (categoryId != kUnclassifiedId)
        conn.Execute(SqlFormat("INSERT INTO RecordCategory (reccat_category, reccat_record) "
                               "SELECT %d, rec_ident FROM Record",
                               categoryId));
    transaction.Commit();
}

class QuietMessages : public MessageBoxes {
public:
    int ShowMessageBox(const std::string& text, int) override
    {
        throw std::runtime_error("unexpected message: " + text);
    }
};

void BM_FillCategoryList10k(benchmark::State& state)
{
    BenchLibrary lib;
    const int category = InsertCategory(lib.conn(), 0, "Ten thousand");
    FillRecords(lib.conn(), 10000, category);
    const bool format = state.range(0) != 0;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    for (auto _ : state) {
        ItemListing listing = ReadItemRows(lib.conn(), CategoryItemsQuery(category));
        if (format) {
            // What the list shows besides the raw values: the size and date texts.
            std::size_t length = 0;
            for (const auto& row : listing.rows)
                length += FormatItemSize(row.size, locale).size() + FormatItemDate(row.dateAdded, locale).size();
            benchmark::DoNotOptimize(length);
        }
        if (listing.rows.size() != 10000)
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(listing);
    }
}
BENCHMARK(BM_FillCategoryList10k)->ArgName("with_texts")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Search100k(benchmark::State& state)
{
    static const char* const kTexts[] = {"beach", "*.jpg", "Holiday 1?7", "no such text"};
    const std::string text = kTexts[state.range(0)];
    BenchLibrary lib;
    FillRecords(lib.conn(), 100000, kUnclassifiedId);
    std::size_t found = 0;
    for (auto _ : state) {
        ItemListing listing = ReadItemRows(lib.conn(), BuildSearchQuery(text));
        found = listing.rows.size();
        benchmark::DoNotOptimize(listing);
    }
    state.SetLabel("\"" + text + "\" finds " + std::to_string(found));
}
BENCHMARK(BM_Search100k)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1,000 pictures of 4 KB each, added as a dropped folder; against it, the same bytes
// stored as one item, which is what the bytes themselves cost.
void BM_AddFolder1000(benchmark::State& state)
{
    constexpr int kFiles = 1000;
    constexpr std::size_t kFileSize = 4096;
    ScratchDir sources;
    std::mt19937 gen(1);
    std::string bytes(kFileSize, '\0');
    fs::create_directories(sources.path() / "pictures");
    for (int i = 0; i < kFiles; ++i) {
        for (auto& c : bytes)
            c = static_cast<char>(gen());
        std::ofstream(sources.path() / "pictures" / ("pic" + std::to_string(i) + ".jpg"), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    double folderSeconds = 0;
    double bytesSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto lib = std::make_unique<BenchLibrary>();
        NullProgress progress;
        QuietMessages messages;
        FileImport import(*lib->library, progress, messages);
        state.ResumeTiming();

        auto start = std::chrono::steady_clock::now();
        int mode = kKeepSources;
        import.AddFileList(kUnclassifiedId, {(sources.path() / "pictures").string()}, false, false, mode);
        folderSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        state.PauseTiming();
        MemoryStream whole(std::string(kFiles * kFileSize, 'x'));
        start = std::chrono::steady_clock::now();
        import.AddItemFromStream(kUnclassifiedId, whole, "all", "all.mpg", -1);
        bytesSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto items = db::Query(lib->conn(), "Select count(*) as n from Record").AsInteger("n");
        if (items != kFiles + 1)
            state.SkipWithError("not every picture was added");
        lib.reset();
        state.ResumeTiming();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["ms_per_file"] = folderSeconds / runs / kFiles * 1000;
    state.counters["ms_per_file_for_bytes"] = bytesSeconds / runs / kFiles * 1000;
    state.counters["overhead_ms_per_file"] = (folderSeconds - bytesSeconds) / runs / kFiles * 1000;
}
BENCHMARK(BM_AddFolder1000)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
