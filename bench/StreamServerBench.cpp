// Stream server figures: time to the first body byte, the rate of one connection that
// reads as fast as it can (paced only by its reading), and the memory that 20
// concurrent connections cost (one chunk each, never an item).
#include "playback/StreamItemIdent.h"
#include "playback/VideoStreamServ.h"
#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/NewItem.h"
#include "store/ObjectStore.h"

#include "ScratchDir.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

constexpr std::int64_t kMB = 1000000;

std::string Bytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

// A library in a scratch folder with a few items and a listening server, for the whole run.
class BenchLibrary : public bench::ScratchLibrary {
public:
    BenchLibrary()
    {
        small = Add(100000, "small.mp3");
        large = Add(50 * kMB, "large.mpeg");
        medium = Add(10 * kMB, "medium.mpeg");
        server.Port = 0;
        if (!server.Listen())
            throw std::runtime_error("the stream server cannot listen");
    }
    ~BenchLibrary() { server.Stop(); }

    int Add(std::int64_t size, const std::string& name)
    {
        ObjectStore& store = ObjectStore::ForThisThread();
        NewItem item(store, name, name);
        MemoryStream source(Bytes(static_cast<std::size_t>(size), static_cast<unsigned>(size)));
        item.Store(source, size);
        item.Complete();
        return item.RecordIdent();
    }

    int small = 0;
    int large = 0;
    int medium = 0;
    TVideoStreamServ server;
};

BenchLibrary& Bench()
{
    static BenchLibrary library;
    return library;
}

int Connect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to the stream server");
    return fd;
}

// The request for the URL the server hands out.
void SendRequest(int fd, const std::string& extra = {})
{
    const std::string request =
        "GET /" + Bench().server.Token() + "/200501020907.MPEG HTTP/1.1\r\nHost: localhost\r\n" + extra + "\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        throw std::runtime_error("cannot send the request");
}

// Reads until the header has ended and at least one body byte has come.
void ReadToFirstBodyByte(int fd)
{
    std::string seen;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            throw std::runtime_error("the response ended before its body");
        seen.append(buffer, static_cast<std::size_t>(n));
        const auto end = seen.find("\r\n\r\n");
        if (end != std::string::npos && seen.size() > end + 4)
            return;
    }
}

// Reads to the end of the response; returns the bytes received.
std::int64_t Drain(int fd)
{
    std::int64_t total = 0;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            return total;
        total += n;
    }
}

std::int64_t StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stoll(line.substr(std::string(field).size()));
    return 0;
}

void BM_TimeToFirstBodyByte(benchmark::State& state)
{
    BenchLibrary& bench = Bench();
    const bool fromEnd = state.range(0) != 0;
    StreamItemIdent = fromEnd ? bench.large : bench.small;
    for (auto _ : state) {
        const int fd = Connect(bench.server.BoundPort());
        // From the end of the 50 MB item, the chain is followed through 99 chunks first.
        SendRequest(fd, fromEnd ? "Range: bytes=49900000-\r\n" : "");
        ReadToFirstBodyByte(fd);
        state.PauseTiming();
        ::close(fd);
        while (bench.server.LiveConnections() > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state.ResumeTiming();
    }
    state.SetLabel(fromEnd ? "range from 49.9 MB of a 50 MB item" : "whole 100 kB item");
}
BENCHMARK(BM_TimeToFirstBodyByte)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OneConnectionRate(benchmark::State& state)
{
    BenchLibrary& bench = Bench();
    StreamItemIdent = bench.large;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const int fd = Connect(bench.server.BoundPort());
        SendRequest(fd);
        bytes += Drain(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(bytes);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / kMB, benchmark::Counter::kIsRate);
    state.SetLabel("50 MB item, whole");
}
BENCHMARK(BM_OneConnectionRate)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_TwentyConnectionsPeakMemory(benchmark::State& state)
{
    BenchLibrary& bench = Bench();
    constexpr int kConnections = 20;
    // Two item sizes: what a connection costs must not grow with the item.
    const std::int64_t itemSize = state.range(0) * kMB;
    StreamItemIdent = state.range(0) == 50 ? bench.large : bench.medium;
    for (auto _ : state) {
        // Start the peak anew from what the process holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const std::int64_t before = StatusKilobytes("VmRSS:");
        std::vector<std::thread> clients;
        std::vector<std::int64_t> received(kConnections);
        for (int i = 0; i < kConnections; ++i)
            clients.emplace_back([&, i] {
                const int fd = Connect(bench.server.BoundPort());
                SendRequest(fd);
                received[i] = Drain(fd);
                ::close(fd);
            });
        for (auto& client : clients)
            client.join();
        const std::int64_t peak = StatusKilobytes("VmHWM:");
        for (auto r : received)
            if (r < itemSize)
                state.SkipWithError("a connection got less than the whole item");
        state.counters["peak_added_MB"] = static_cast<double>(peak - before) / 1000.0;
        state.counters["per_connection_MB"] = static_cast<double>(peak - before) / 1000.0 / kConnections;
    }
    state.SetLabel("20 connections, each the whole " + std::to_string(state.range(0)) + " MB item");
}
BENCHMARK(BM_TwentyConnectionsPeakMemory)->Arg(10)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
