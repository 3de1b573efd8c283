#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace velmora {

inline constexpr const char* kArchiveReaderName = "velmora-archive-reader";

// How the archive reader is run and how long it is waited for.
struct ReaderOptions {
    std::string program;                   // the reader executable
    std::uint64_t addressSpace = 0;        // bytes of address space (RLIMIT_AS)
    std::uint64_t cpuSeconds = 0;          // processor time (RLIMIT_CPU)
    std::uint64_t fileSize = 0;            // bytes any file it writes may reach (RLIMIT_FSIZE)
    std::chrono::milliseconds checkTime{}; // for opening and checking the archive
    std::chrono::milliseconds silence{};   // for each later piece of its output
};

// The reader in the program folder, with limits for the archive at archivePath:
// checking reads every page once, so the time it may take grows with the file. The
// reader writes no file at all: any file it may write stays empty.
ReaderOptions DefaultReaderOptions(const std::string& archivePath);

// The reader process for one archive: started with the archive's path as its only
// argument, its output on a pipe, its input a pipe that ends when this object goes
// (the reader then lets go of the archive), standard error discarded. It gets an empty
// environment (a sanitizer build's options aside) and no new privileges, and runs
// under the options' address-space, processor-time and file-size limits (the
// address-space limit is left out in AddressSanitizer builds, whose shadow memory
// alone exceeds any), leaves no core dump, and dies with the thread that started it.
class ArchiveReaderProcess {
public:
    // Raises std::runtime_error when the process cannot be started.
    ArchiveReaderProcess(const ReaderOptions& options, const std::string& archivePath);
    // Ends the process (killed if it is still running) and collects it.
    ~ArchiveReaderProcess();
    ArchiveReaderProcess(const ArchiveReaderProcess&) = delete;
    ArchiveReaderProcess& operator=(const ArchiveReaderProcess&) = delete;

    enum class ReadResult { Done, Ended, TimedOut };
    // Reads exactly count bytes of the reader's output, waiting at most wait in all:
    // Ended when the output ends first, TimedOut when the time runs out first.
    ReadResult ReadExact(void* buffer, std::size_t count, std::chrono::milliseconds wait);

    // Waits up to grace for the process to end, kills it if it has not, collects it
    // and tells how it ended ("was killed by signal 11 (Segmentation fault)",
    // "exited with code 3").
    std::string Finish(std::chrono::milliseconds grace);

private:
    pid_t m_pid = -1;
    UniqueFd m_input;    // the reader's standard input
    UniqueFd m_output;   // the reader's standard output
    std::string m_outcome;
};

} // namespace velmora
