#pragma once

#include "archive/ArchiveError.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::reader {

// What the archive reader process writes to its standard output: frames of one type
// byte, a 4-byte little-endian payload length and the payload.
//
//   Header   int64 row count, then the check value (opt_pass) as it is stored
//   Row      int64 rec_size, int64 length of rec_object, then rec_tnorigname,
//            rec_description and rec_notes, each as int32 length and bytes; the
//            rec_object bytes follow in Data frames
//   Data     a piece of the current row's rec_object
//   End      every row has been sent
//   Refusal  one byte ArchiveError::Reason, then the message
//
// Header comes first (or Refusal); then the rows in order, then End. A Refusal may
// take the place of any frame. After End or Refusal the reader holds the archive open
// until its standard input ends.
enum class Frame : std::uint8_t {
    Header = 'H',
    Row = 'R',
    Data = 'D',
    End = 'Z',
    Refusal = 'X',
};

inline constexpr std::size_t kFrameHeaderSize = 5;
inline constexpr std::size_t kMaxDataPayload = 256 * 1024;
// Texts of one row together (and the check value, and a message); more is refused
// before anything is sent, so the importer never holds more than this for a row.
inline constexpr std::size_t kMaxTextPayload = 4 * 1024 * 1024;

// Writes frames to a descriptor, whole; raises std::runtime_error when it cannot.
class FrameWriter {
public:
    explicit FrameWriter(int fd) : m_fd(fd) {}

    void Header(std::int64_t rows, std::string_view checkValue);
    void Row(std::int64_t size, std::int64_t objectLength, std::string_view name, std::string_view description,
             std::string_view notes);
    void Data(const void* bytes, std::size_t count);
    void End();
    void Refusal(ArchiveError::Reason reason, std::string_view message);

private:
    void Write(Frame type, const std::string& payload);
    void WriteAll(const void* bytes, std::size_t count);

    int m_fd;
};

// Appends to a payload and reads one back; Take* raise std::runtime_error when the
// payload is shorter than it says.
void PutInt64(std::string& payload, std::int64_t value);
// The little-endian number held in bytes (the first 8 of them at most).
std::uint64_t LittleEndian(std::string_view bytes);
void PutText(std::string& payload, std::string_view text);

// Reads a payload in place: the payload must outlive the reader.
class PayloadReader {
public:
    explicit PayloadReader(std::string_view payload) : m_rest(payload) {}
    explicit PayloadReader(std::string&&) = delete;
    std::int64_t TakeInt64();
    std::string TakeText();
    std::string TakeRest();

private:
    std::string_view Take(std::size_t count);

    std::string_view m_rest;
};

} // namespace velmora::reader
