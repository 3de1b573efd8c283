#pragma once

#include <cstdint>

namespace velmora::test {

// One entry of a write log (WriteLogPreload.cpp writes it, WriteLog.cpp reads it): this
// header, then the path (relative to the watched folder, "" for the folder itself), then
// the second text (a rename's new name, what an unsupported call was), then the data.
enum class WriteLogOp : std::uint8_t {
    Write = 1,        // data at offset number
    Truncate = 2,     // to length number
    Sync = 3,         // the file's data, or the folder's entries, forced to the disk
    Create = 4,       // a new, empty file
    Rename = 5,       // path to second
    Unlink = 6,
    Extend = 7,       // size at least number (-1: no change)
    Output = 8,       // data written to standard output (what the program reported)
    Unsupported = 9,  // a change the log cannot replay
};

struct WriteLogHeader {
    std::uint8_t op;
    std::uint8_t reserved[3];
    std::uint32_t pathLength;
    std::uint32_t secondLength;
    std::uint32_t reserved2;
    std::int64_t number;
    std::uint64_t dataLength;
};

} // namespace velmora::test
