// Database layer figures: chunk write and read speed through the blob streams at each
// SQLCipher page size (which picks Connection::kCipherPageSize), and the memory a
// 200 MB value costs on its way in and out (the blob streams must stay bounded).
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"

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
using velmora::db::Query;

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
    Query q(conn, "Select * from recobject where ro_record = 0");
    q.Append();
    q.SetInteger("ro_record", record);
    q.SetInteger("ro_chunk", chunk);
    q.SetInteger("ro_nextstore", -1);
    {
        auto out = q.OpenWriteStream("ro_data");
        for (std::int64_t at = 0; at < static_cast<std::int64_t>(bytes.size()); at += piece)
            out->WriteBuffer(bytes.data() + at, std::min<std::int64_t>(piece, static_cast<std::int64_t>(bytes.size()) - at));
    }
    q.Post();
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
        Query q(*conn, "Select * from recobject where ro_record = " + std::to_string(record % kChunks + 1)
                           + " and ro_chunk = 1");
        q.OpenReadStream("ro_data")->ReadBuffer(buffer.data(), kChunk);
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
        Query q(*conn, "Select * from recobject where ro_record = 0");
        q.Append();
        q.SetInteger("ro_record", record++);
        q.SetInteger("ro_chunk", 1);
        q.SetInteger("ro_nextstore", -1);
        q.Post();
        benchmark::DoNotOptimize(q.AsInteger("ro_record"));
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
            Query q(*conn, "Select * from recobject where ro_record = 0");
            q.Append();
            q.SetInteger("ro_record", 1);
            q.SetInteger("ro_chunk", 1);
            {
                auto out = q.OpenWriteStream("ro_data");
                for (std::int64_t at = 0; at < kTotal; at += kChunk)
                    out->WriteBuffer(piece.data(), kChunk);
            }
            q.Post();
            writeGrowth = static_cast<double>(sampler.Stop() - baseline);
        }
        {
            RssSampler sampler;
            Query q(*conn, "Select * from recobject where ro_record = 1");
            auto in = q.OpenReadStream("ro_data");
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

} // namespace

BENCHMARK(BM_WriteChunk)->Arg(1024)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReadChunk)->Arg(1024)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_AppendRow)->Arg(1024)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_LargeBlobMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
