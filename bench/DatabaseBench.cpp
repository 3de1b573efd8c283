// Database layer figures: chunk write and read speed through the blob streams at each
// SQLCipher page size (which picks Connection::kCipherPageSize), and the memory a
// 200 MB value costs on its way in and out (the blob streams must stay bounded).
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/ColumnStream.h"
#include "store/Statement.h"
#include "store/TableRow.h"

#include <sqlite3.h>

#include "ScratchDir.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using velmora::db::Connection;
using velmora::db::TableRow;

namespace {

constexpr std::int64_t kChunk = 500000;

using velmora::bench::ScratchDir;

std::string Bytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

// A store file like the shipped template, made at the given page size and then opened
// the way the program opens store files.
std::unique_ptr<Connection> MakeStore(const fs::path& file, int pageSize)
{
    const std::string cs = velmora::db::ConnectionString::Build(file.string(), velmora::db::kShareDenyNone,
                                                                velmora::GetDatabasePassword());
    {
        Connection maker(cs);
        maker.SetCipherPageSize(pageSize);
        maker.Create();
        maker.Execute("CREATE TABLE recobject (ro_record INTEGER NOT NULL, ro_chunk INTEGER NOT NULL, "
                      "ro_nextstore INTEGER, ro_data BLOB);"
                      "CREATE UNIQUE INDEX recobject_chunk ON recobject (ro_record, ro_chunk)");
    }
    auto conn = std::make_unique<Connection>(cs);
    conn->SetCipherPageSize(pageSize);
    conn->Open();
    return conn;
}

void WriteChunk(Connection& conn, int record, int chunk, const std::string& bytes, std::int64_t piece)
{
    TableRow row("recobject");
    row.Set("ro_record", record).Set("ro_chunk", chunk).Set("ro_nextstore", -1);
    {
        auto out = row.OpenWriteStream("ro_data");
        for (std::int64_t at = 0; at < static_cast<std::int64_t>(bytes.size()); at += piece)
            out->WriteBuffer(bytes.data() + at, std::min<std::int64_t>(piece, static_cast<std::int64_t>(bytes.size()) - at));
    }
    row.Insert(conn);
}

void BM_WriteChunk(benchmark::State& state)
{
    const int pageSize = static_cast<int>(state.range(0));
    ScratchDir dir;
    auto conn = MakeStore(dir.path() / "tnstore1.mdb", pageSize);
    const std::string chunk = Bytes(kChunk, 1);
    int record = 1;
    for (auto _ : state)
        WriteChunk(*conn, record++, 1, chunk, kChunk);
    state.SetBytesProcessed(state.iterations() * kChunk);
}

void BM_ReadChunk(benchmark::State& state)
{
    const int pageSize = static_cast<int>(state.range(0));
    ScratchDir dir;
    auto conn = MakeStore(dir.path() / "tnstore1.mdb", pageSize);
    constexpr int kChunks = 64;   // 32 MB: more than the page cache holds
    const std::string chunk = Bytes(kChunk, 2);
    for (int r = 1; r <= kChunks; ++r)
        WriteChunk(*conn, r, 1, chunk, kChunk);
    std::string buffer(kChunk, '\0');
    int record = 0;
    for (auto _ : state) {
        // Chunks were written in record order, one per row.
        velmora::db::OpenColumnStream(*conn, "recobject", "ro_data", record % kChunks + 1)
            ->ReadBuffer(buffer.data(), kChunk);
        benchmark::DoNotOptimize(buffer.data());
        ++record;
    }
    state.SetBytesProcessed(state.iterations() * kChunk);
}

// A catalogue write: one small row appended and committed, as adding an item does.
void BM_AppendRow(benchmark::State& state)
{
    const int pageSize = static_cast<int>(state.range(0));
    ScratchDir dir;
    auto conn = MakeStore(dir.path() / "tnstore1.mdb", pageSize);
    int record = 1;
    for (auto _ : state) {
        TableRow row("recobject");
        row.Set("ro_record", record++).Set("ro_chunk", 1).Set("ro_nextstore", -1);
        benchmark::DoNotOptimize(row.Insert(*conn));
    }
}

std::int64_t CurrentRssBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<std::int64_t>(resident) * sysconf(_SC_PAGESIZE);
}

// Samples the resident set every millisecond while alive; Peak() is the highest seen.
class RssSampler {
public:
    RssSampler() : m_peak(CurrentRssBytes()), m_thread([this] {
        while (!m_stop) {
            m_peak = std::max(m_peak.load(), CurrentRssBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    })
    {
    }
    ~RssSampler() { Stop(); }
    std::int64_t Stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
            m_peak = std::max(m_peak.load(), CurrentRssBytes());
        }
        return m_peak;
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<std::int64_t> m_peak;
    std::thread m_thread;
};

// One 200 MB value written through a write stream in 500000-byte pieces and read back
// through a read stream: the counters are the resident-set growth over the baseline.
void BM_LargeBlobMemory(benchmark::State& state)
{
    constexpr std::int64_t kTotal = 200LL * 1000 * 1000;
    const std::string piece = Bytes(kChunk, 3);
    std::string buffer(kChunk, '\0');
    double writeGrowth = 0, readGrowth = 0;
    for (auto _ : state) {
        ScratchDir dir;
        auto conn = MakeStore(dir.path() / "tnstore1.mdb", Connection::kCipherPageSize);
        const std::int64_t baseline = CurrentRssBytes();
        {
            RssSampler sampler;
            TableRow row("recobject");
            row.Set("ro_record", 1).Set("ro_chunk", 1);
            {
                auto out = row.OpenWriteStream("ro_data");
                for (std::int64_t at = 0; at < kTotal; at += kChunk)
                    out->WriteBuffer(piece.data(), kChunk);
            }
            row.Insert(*conn);
            writeGrowth = static_cast<double>(sampler.Stop() - baseline);
        }
        {
            RssSampler sampler;
            auto in = velmora::db::OpenColumnStream(*conn, "recobject", "ro_data", 1);
            if (in->Size() != kTotal)
                state.SkipWithError("wrong size read back");
            for (std::int64_t at = 0; at < kTotal; at += kChunk)
                in->ReadBuffer(buffer.data(), kChunk);
            readGrowth = static_cast<double>(sampler.Stop() - baseline);
        }
    }
    state.counters["write_rss_growth_MB"] = writeGrowth / 1e6;
    state.counters["read_rss_growth_MB"] = readGrowth / 1e6;
    state.SetBytesProcessed(state.iterations() * kTotal * 2);
}


// How a store connection is set up for the chunk write benchmarks below.
struct WriteSetup {
    const char* journal;    // journal_mode
    const char* sync;       // synchronous
    int cachePages;         // cache_size in pages (0: the engine's default)
};

// A store file like the shipped template (incremental vacuum, key generation column),
// opened with the given journal, synchronous level and cache.
std::unique_ptr<Connection> MakeTemplateStore(const fs::path& file, const WriteSetup& setup)
{
    const std::string cs = velmora::db::ConnectionString::Build(file.string(), velmora::db::kShareDenyNone,
                                                                velmora::GetDatabasePassword());
    {
        Connection maker(cs);
        maker.Create();
        maker.Execute("PRAGMA auto_vacuum = INCREMENTAL; VACUUM;"
                      "CREATE TABLE recobject (ro_record INTEGER NOT NULL, ro_chunk INTEGER NOT NULL, "
                      "ro_nextstore INTEGER, ro_keygen INTEGER NOT NULL DEFAULT 0, ro_data BLOB);"
                      "CREATE UNIQUE INDEX recobject_chunk ON recobject (ro_record, ro_chunk)");
    }
    auto conn = std::make_unique<Connection>(cs);
    conn->Open();
    conn->Execute(std::string("PRAGMA journal_mode = ") + setup.journal);
    conn->Execute(std::string("PRAGMA synchronous = ") + setup.sync);
    if (setup.cachePages > 0)
        conn->Execute("PRAGMA cache_size = " + std::to_string(setup.cachePages));
    return conn;
}

enum WriteMethod { kSpooledQuery = 0, kBoundInPlace = 1, kZeroBlobWrite = 2 };

// One chunk row committed on its own, as an add writes it: through the updatable
// TableRow and its spool, as a bound value the engine reads from the
// caller's buffer, or as a zeroblob filled in place with sqlite3_blob_write.
void WriteChunkRow(Connection& conn, velmora::db::Statement& insert, WriteMethod method, int record,
                   const std::string& bytes)
{
    if (method == kSpooledQuery) {
        WriteChunk(conn, record, 1, bytes, 256 * 1024);
        return;
    }
    conn.Execute("BEGIN IMMEDIATE");
    insert.Reset();
    insert.BindInt64(1, record);
    insert.BindInt64(2, 1);
    if (method == kBoundInPlace)
        insert.BindBlob(3, bytes.data(), static_cast<std::int64_t>(bytes.size()));
    else
        insert.BindZeroBlob(3, static_cast<std::int64_t>(bytes.size()));
    insert.Run();
    if (method == kZeroBlobWrite) {
        sqlite3_blob* blob = nullptr;
        if (sqlite3_blob_open(conn.Handle(), "main", "recobject", "ro_data", sqlite3_last_insert_rowid(conn.Handle()),
                              1, &blob) != SQLITE_OK ||
            sqlite3_blob_write(blob, bytes.data(), static_cast<int>(bytes.size()), 0) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(conn.Handle()));
        sqlite3_blob_close(blob);
    }
    conn.Execute("COMMIT");
}

void RunChunkWrites(benchmark::State& state, WriteMethod method, const WriteSetup& setup)
{
    ScratchDir dir;
    auto conn = MakeTemplateStore(dir.path() / "tnstore1.mdb", setup);
    velmora::db::Statement insert(conn->Handle(),
                                  "INSERT INTO recobject (ro_record, ro_chunk, ro_nextstore, ro_data) "
                                  "VALUES (?, ?, -1, ?)",
                                  "bench");
    const std::string chunk = Bytes(kChunk, 4);
    int record = 1;
    for (auto _ : state)
        WriteChunkRow(*conn, insert, method, record++, chunk);
    state.SetBytesProcessed(state.iterations() * kChunk);
}

// The way the value reaches the row, in the program's journal setting.
void BM_ChunkWriteMethod(benchmark::State& state)
{
    RunChunkWrites(state, static_cast<WriteMethod>(state.range(0)), {"WAL", "NORMAL", 0});
}

// Write-ahead log against a rollback journal for a bulk add: new pages at the end of
// a rollback-journal file are written once, the log writes every page twice.
void BM_ChunkWriteJournal(benchmark::State& state)
{
    RunChunkWrites(state, kBoundInPlace, {state.range(0) ? "DELETE" : "WAL", "NORMAL", 0});
}

// What a sync of the log at every chunk's commit costs against one at checkpoints.
void BM_ChunkWriteSync(benchmark::State& state)
{
    RunChunkWrites(state, kBoundInPlace, {"WAL", state.range(0) ? "FULL" : "NORMAL", 0});
}

// The page cache: a chunk is 31 pages; a write needs little more than those.
void BM_ChunkWriteCache(benchmark::State& state)
{
    RunChunkWrites(state, kBoundInPlace, {"WAL", "NORMAL", static_cast<int>(state.range(0))});
}

} // namespace

BENCHMARK(BM_WriteChunk)->Arg(1024)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReadChunk)->Arg(1024)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_AppendRow)->Arg(1024)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_ChunkWriteMethod)->ArgName("spool_bind_zeroblob")->Arg(kSpooledQuery)->Arg(kBoundInPlace)->Arg(kZeroBlobWrite)
    ->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ChunkWriteJournal)->ArgName("wal_delete")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ChunkWriteSync)->ArgName("normal_full")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ChunkWriteCache)->ArgName("pages")->Arg(0)->Arg(40)->Arg(256)->Arg(2048)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LargeBlobMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
