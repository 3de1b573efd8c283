#include "archive/TransferArchive.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveReaderProtocol.h"
#include "store/Base64.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/Stream.h"

#include <algorithm>
#include <climits>

namespace velmora {

namespace {

using reader::Frame;

// The refusals a reader may give; anything else it says is nonsense.
bool IsReaderReason(std::uint8_t reason)
{
    using Reason = ArchiveError::Reason;
    switch (static_cast<Reason>(reason)) {
    case Reason::NotAnArchive:
    case Reason::MissingSchema:
    case Reason::Damaged:
    case Reason::BadContent:
    case Reason::Locked:
        return true;
    default:
        return false;
    }
}

} // namespace

// The rec_object of the current row as the reader sends it, piece by piece: only the
// piece being read is held. It is read front to back, but a move is only noted until
// the next read, so that a filter may measure it (to the end and back) as it would a
// file; a read behind what has been taken from the reader fails.
class TransferArchive::ContentStream : public Stream {
public:
    ContentStream(TransferArchive& archive, std::int64_t length) : m_archive(archive), m_length(length) {}

    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        if (m_position < m_taken)
            throw StreamError("An archive item is read front to back");
        char skipped[65536];
        while (m_taken < m_position)
            Take(skipped, std::min<std::int64_t>(m_position - m_taken, sizeof skipped));
        const std::int64_t done = Take(static_cast<char*>(buffer), std::min(count, m_length - m_taken));
        m_position = m_taken;
        return done;
    }
    std::int64_t Write(const void*, std::int64_t) override { throw StreamError("An archive item is read-only"); }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override
    {
        const std::int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? m_position : m_length;
        if (base + offset < 0 || base + offset > m_length)
            throw StreamError("Seek outside an archive item");
        m_position = base + offset;
        return m_position;
    }
    std::int64_t Size() override { return m_length; }

    // Takes what is left, so that the next frame can be read.
    void Skip()
    {
        char piece[65536];
        while (m_taken < m_length)
            Take(piece, std::min<std::int64_t>(m_length - m_taken, sizeof piece));
    }

private:
    // Takes count bytes from the reader's pieces.
    std::int64_t Take(char* target, std::int64_t count)
    {
        std::int64_t done = 0;
        while (done < count) {
            if (m_pieceLeft == 0) {
                std::uint32_t length = 0;
                if (m_archive.NextFrame(length, m_archive.m_options.silence) != static_cast<std::uint8_t>(Frame::Data) ||
                    length == 0 || length > reader::kMaxDataPayload || length > m_length - m_taken)
                    m_archive.Fail("its content does not match its size");
                m_pieceLeft = length;
            }
            const std::int64_t n = std::min(count - done, m_pieceLeft);
            m_archive.ReadExact(target + done, static_cast<std::size_t>(n), m_archive.m_options.silence);
            done += n;
            m_taken += n;
            m_pieceLeft -= n;
        }
        return done;
    }

    TransferArchive& m_archive;
    std::int64_t m_length;
    std::int64_t m_position = 0;   // where the next read starts
    std::int64_t m_taken = 0;      // bytes taken from the reader
    std::int64_t m_pieceLeft = 0;  // of the piece being taken
};

TransferArchive::TransferArchive(const std::string& path)
    : TransferArchive(path, DefaultReaderOptions(path))
{
}

TransferArchive::TransferArchive(const std::string& path, const ReaderOptions& options)
    : m_path(path), m_options(options)
{
    try {
        m_reader = std::make_unique<ArchiveReaderProcess>(m_options, path);
    } catch (const std::runtime_error& failure) {
        throw ArchiveError(ArchiveError::Reason::Unreadable, failure.what());
    }
    std::uint32_t length = 0;
    if (NextFrame(length, m_options.checkTime) != static_cast<std::uint8_t>(Frame::Header) ||
        length > reader::kMaxTextPayload)
        Fail("it did not begin with the archive's header");
    const std::string payload = ReadPayload(length, m_options.silence);
    reader::PayloadReader header(payload);
    std::int64_t rows = -1;
    try {
        rows = header.TakeInt64();
        m_checkValue = header.TakeRest();
    } catch (const std::runtime_error& failure) {
        Fail(failure.what());
    }
    if (rows < 0 || rows > INT_MAX)
        Fail("it gave " + std::to_string(rows) + " as the number of items");
    m_rowCount = static_cast<int>(rows);
}

TransferArchive::~TransferArchive() = default;

void TransferArchive::Fail(const std::string& what)
{
    // The reader is ended before anything else: what it did with the archive is over.
    const std::string outcome = m_reader ? m_reader->Finish(std::chrono::milliseconds(2000)) : "";
    throw ArchiveError(ArchiveError::Reason::Unreadable,
                       "\"" + m_path + "\" is not a valid transfer archive: its reader " + outcome + " (" + what + ")");
}

void TransferArchive::ReadExact(void* buffer, std::size_t count, std::chrono::milliseconds wait)
{
    switch (m_reader->ReadExact(buffer, count, wait)) {
    case ArchiveReaderProcess::ReadResult::Done:
        return;
    case ArchiveReaderProcess::ReadResult::Ended:
        Fail("its output ended early");
    case ArchiveReaderProcess::ReadResult::TimedOut:
        m_reader->Finish(std::chrono::milliseconds(0));
        Fail("it gave no answer in time");
    }
}

std::uint8_t TransferArchive::NextFrame(std::uint32_t& length, std::chrono::milliseconds wait)
{
    char header[reader::kFrameHeaderSize];
    ReadExact(header, sizeof header, wait);
    length = static_cast<std::uint32_t>(reader::LittleEndian(std::string_view(header + 1, 4)));
    const auto type = static_cast<std::uint8_t>(header[0]);
    if (type == static_cast<std::uint8_t>(Frame::Refusal)) {
        if (length == 0 || length > reader::kMaxTextPayload)
            Fail("it refused the archive in a frame of " + std::to_string(length) + " bytes");
        const std::string payload = ReadPayload(length, m_options.silence);
        const auto reason = static_cast<std::uint8_t>(payload[0]);
        if (!IsReaderReason(reason))
            Fail("it refused the archive for an unknown reason");
        m_reader->Finish(std::chrono::milliseconds(2000));
        throw ArchiveError(static_cast<ArchiveError::Reason>(reason), payload.substr(1));
    }
    return type;
}

std::string TransferArchive::ReadPayload(std::uint32_t length, std::chrono::milliseconds wait)
{
    std::string payload(length, '\0');
    ReadExact(payload.data(), length, wait);
    return payload;
}

bool TransferArchive::CheckArchivePassword(const std::string& candidate, bool base64)
{
    try {
        const TBlowfish cipher(candidate);
        std::string bytes = m_checkValue;
        if (base64)
            bytes = Base64ToStr(bytes);
        return PassesCheckTest(cipher, bytes);
    } catch (const std::exception&) {
        return false;
    }
}

bool TransferArchive::AcceptsPassword(const std::string& candidate)
{
    return CheckArchivePassword(candidate, true) || CheckArchivePassword(candidate, false);
}

std::optional<ArchiveRow> TransferArchive::NextRow()
{
    if (m_content) {
        m_content->Skip();
        m_content.reset();
    }
    if (m_ended)
        return std::nullopt;
    std::uint32_t length = 0;
    const std::uint8_t frame = NextFrame(length, m_options.silence);
    if (frame == static_cast<std::uint8_t>(Frame::End) && length == 0) {
        m_ended = true;
        return std::nullopt;
    }
    if (frame != static_cast<std::uint8_t>(Frame::Row) || length > reader::kMaxTextPayload)
        Fail("it sent something else where an item belongs");
    const std::string bytes = ReadPayload(length, m_options.silence);
    reader::PayloadReader payload(bytes);
    ArchiveRow row;
    std::int64_t objectLength = 0;
    try {
        row.size = payload.TakeInt64();
        objectLength = payload.TakeInt64();
        row.name = payload.TakeText();
        row.description = payload.TakeText();
        row.notes = payload.TakeText();
    } catch (const std::runtime_error& failure) {
        Fail(failure.what());
    }
    // What the reader has checked already; a reader that says otherwise is not believed.
    if (row.size < 0 || row.size > INT64_MAX - 8 || objectLength != (row.size + 7) / 8 * 8)
        Fail("it gave an item whose content does not match its size");
    m_content = std::make_unique<ContentStream>(*this, objectLength);
    return row;
}

Stream& TransferArchive::Content()
{
    if (!m_content)
        throw StreamError("No archive item is being read");
    return *m_content;
}

} // namespace velmora
