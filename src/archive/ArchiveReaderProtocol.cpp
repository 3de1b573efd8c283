#include "archive/ArchiveReaderProtocol.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace velmora::reader {

namespace {

void PutUint32(std::string& payload, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        payload += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string FrameHeader(Frame type, std::size_t length)
{
    std::string header(1, static_cast<char>(type));
    PutUint32(header, static_cast<std::uint32_t>(length));
    return header;
}

} // namespace

void PutInt64(std::string& payload, std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        payload += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

void PutText(std::string& payload, std::string_view text)
{
    PutUint32(payload, static_cast<std::uint32_t>(text.size()));
    payload.append(text);
}

std::uint64_t LittleEndian(std::string_view bytes)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 8; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return value;
}

std::string_view PayloadReader::Take(std::size_t count)
{
    if (m_rest.size() < count)
        throw std::runtime_error("a frame of the archive reader is cut short");
    const std::string_view taken = m_rest.substr(0, count);
    m_rest.remove_prefix(count);
    return taken;
}

std::int64_t PayloadReader::TakeInt64()
{
    return static_cast<std::int64_t>(LittleEndian(Take(8)));
}

std::string PayloadReader::TakeText()
{
    return std::string(Take(static_cast<std::size_t>(LittleEndian(Take(4)))));
}

std::string PayloadReader::TakeRest()
{
    return std::string(std::exchange(m_rest, {}));
}

void FrameWriter::Header(std::int64_t rows, std::string_view checkValue)
{
    std::string payload;
    PutInt64(payload, rows);
    payload.append(checkValue);
    Write(Frame::Header, payload);
}

void FrameWriter::Row(std::int64_t size, std::int64_t objectLength, std::string_view name,
                      std::string_view description, std::string_view notes)
{
    std::string payload;
    PutInt64(payload, size);
    PutInt64(payload, objectLength);
    PutText(payload, name);
    PutText(payload, description);
    PutText(payload, notes);
    Write(Frame::Row, payload);
}

void FrameWriter::Data(const void* bytes, std::size_t count)
{
    const std::string header = FrameHeader(Frame::Data, count);
    WriteAll(header.data(), header.size());
    WriteAll(bytes, count);
}

void FrameWriter::End()
{
    Write(Frame::End, {});
}

void FrameWriter::Refusal(ArchiveError::Reason reason, std::string_view message)
{
    std::string payload(1, static_cast<char>(reason));
    payload.append(message.substr(0, kMaxTextPayload - 1));
    Write(Frame::Refusal, payload);
}

void FrameWriter::Write(Frame type, const std::string& payload)
{
    const std::string header = FrameHeader(type, payload.size());
    WriteAll(header.data(), header.size());
    WriteAll(payload.data(), payload.size());
}

void FrameWriter::WriteAll(const void* bytes, std::size_t count)
{
    const auto* data = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::write(m_fd, data, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("cannot write to the importer: ") + std::strerror(errno));
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
}

} // namespace velmora::reader
