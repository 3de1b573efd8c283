// Cipher throughput: single blocks, bulk runs, key set-up, and the streams over one
// chunk of the object store's size.
#include "store/Blowfish.h"
#include "store/DecryptionStream.h"
#include "store/EncryptionStream.h"
#include "store/MemoryStream.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace velmora;

constexpr std::int64_t kChunk = 500000;

std::string Pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    std::uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

void BM_EncryptBlock(benchmark::State& state)
{
    const TBlowfish cipher("benchmark key");
    std::vector<char> data(64 * 1024);
    for (auto _ : state) {
        for (std::size_t i = 0; i < data.size(); i += 8)
            cipher.EncryptBlock(data.data() + i);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_EncryptBlock);

void BM_EncryptBlocks(benchmark::State& state)
{
    const TBlowfish cipher("benchmark key");
    std::vector<char> data(64 * 1024);
    for (auto _ : state) {
        cipher.EncryptBlocks(data.data(), data.size() / 8);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_EncryptBlocks);

void BM_DecryptBlocks(benchmark::State& state)
{
    const TBlowfish cipher("benchmark key");
    std::vector<char> data(64 * 1024);
    for (auto _ : state) {
        cipher.DecryptBlocks(data.data(), data.size() / 8);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_DecryptBlocks);

// The object store builds one cipher per chunk.
void BM_KeySetup(benchmark::State& state)
{
    const std::string key(static_cast<std::size_t>(state.range(0)), 'k');
    for (auto _ : state) {
        TBlowfish cipher(key);
        benchmark::DoNotOptimize(&cipher);
    }
}
BENCHMARK(BM_KeySetup)->Arg(8)->Arg(72)->Arg(200);

void BM_EncryptionStreamChunk(benchmark::State& state)
{
    const TBlowfish cipher("benchmark key");
    const std::string plain = Pattern(kChunk);
    MemoryStream target;
    for (auto _ : state) {
        target.Clear();
        {
            TEncryptionStream encryption(target, cipher);
            encryption.WriteBuffer(plain.data(), kChunk);
        }
        benchmark::DoNotOptimize(target.Bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * kChunk);
}
BENCHMARK(BM_EncryptionStreamChunk);

void BM_DecryptionStreamChunk(benchmark::State& state)
{
    const TBlowfish cipher("benchmark key");
    MemoryStream source;
    {
        TEncryptionStream encryption(source, cipher);
        const std::string plain = Pattern(kChunk);
        encryption.WriteBuffer(plain.data(), kChunk);
    }
    MemoryStream target;
    for (auto _ : state) {
        target.Clear();
        TDecryptionStream decryption(source, cipher);
        target.CopyFrom(decryption, 0);
        benchmark::DoNotOptimize(target.Bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * kChunk);
}
BENCHMARK(BM_DecryptionStreamChunk);

// A chunk as the store handles it: a fresh cipher, then the stream.
void BM_ChunkWithKeySetup(benchmark::State& state)
{
    const std::string plain = Pattern(kChunk);
    MemoryStream target;
    for (auto _ : state) {
        const TBlowfish cipher("benchmark key");
        target.Clear();
        {
            TEncryptionStream encryption(target, cipher);
            encryption.WriteBuffer(plain.data(), kChunk);
        }
        benchmark::DoNotOptimize(target.Bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * kChunk);
}
BENCHMARK(BM_ChunkWithKeySetup);

} // namespace

BENCHMARK_MAIN();
