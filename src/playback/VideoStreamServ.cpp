#include "playback/VideoStreamServ.h"

#include "playback/ByteRange.h"
#include "playback/StreamAccess.h"
#include "playback/StreamItemIdent.h"
#include "playback/StreamResponseHeader.h"
#include "store/Connection.h"
#include "store/LibraryFiles.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace velmora {

namespace {

// A request header of more lines than this is not a player's.
constexpr int kMaxRequestLines = 100;

// The field value when line is the header field name, compared without case.
std::optional<std::string> FieldValue(const std::string& line, std::string_view name)
{
    if (line.size() <= name.size() || line[name.size()] != ':')
        return std::nullopt;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(name[i])))
            return std::nullopt;
    std::string value = line.substr(name.size() + 1);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    return value;
}

std::string Trimmed(const std::string& value)
{
    const auto first = value.find_first_not_of(" \t");
    const auto last = value.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

// The thread's store connections are closed when its connection is served, not at
// some later thread exit.
struct CloseStoreAtEnd {
    ~CloseStoreAtEnd() { ObjectStore::ForThisThread().Close(); }
};

} // namespace

TVideoStreamServ::TVideoStreamServ() : TVideoStreamServ(NewStreamToken())
{
}

TVideoStreamServ::TVideoStreamServ(std::string token) : m_token(std::move(token))
{
    Port = kStreamServerPort;
    // The player is given the URL with the port the server has.
    AnyPortIfTaken = true;
}

std::unique_ptr<TNMGeneralServer> TVideoStreamServ::InstantiateServer() const
{
    return std::unique_ptr<TVideoStreamServ>(new TVideoStreamServ(m_token));
}

bool TVideoStreamServ::AdmitsRequestLine(std::string_view requestLine) const
{
    return RequestCarriesToken(requestLine, m_token);
}

std::string TVideoStreamServ::Refusal() const
{
    return std::string(kForbiddenHeader) + "\r\n";
}

std::string TVideoStreamServ::ItemUrl(std::string_view extension) const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatStreamUrl(local, extension, m_token, BoundPort());
}

TVideoStreamServ::RequestHeader TVideoStreamServ::ReadRequestHeader()
{
    RequestHeader request;
    for (int lines = 0; lines < kMaxRequestLines; ++lines) {
        const std::string line = ReadLn();
        if (line.empty() || line == "\r\n" || line == "\n")
            return request;   // the end of the header, or the peer sends no more
        if (lines == 0) {
            request.requestLine = line;
            continue;
        }
        if (!request.range)
            request.range = FieldValue(line, "Range");
        if (auto host = FieldValue(line, "Host"))
            request.hosts.push_back(Trimmed(*host));
    }
    throw SocketError("the request header is too long");
}

bool TVideoStreamServ::Admits(const RequestHeader& request) const
{
    // Exactly one Host: with two, another program could read the one this server did not.
    return RequestCarriesToken(request.requestLine, m_token) && request.hosts.size() == 1 &&
           IsLoopbackHost(request.hosts.front(), BoundPort());
}

void TVideoStreamServ::ServeConnection()
{
    const int recordIdent = StreamItemIdent.load();
    const RequestHeader request = ReadRequestHeader();
    if (!Admits(request)) {
        Writeln(kForbiddenHeader);
        return;
    }

    CloseStoreAtEnd closeStore;
    db::Connection connection(LibraryConnectionString(0));
    connection.Open();
    int storeNo = 0;
    std::int64_t size = 0;
    {
        db::Query query(connection, SqlFormat("Select rec_objstore, rec_size from Record where rec_ident = %d",
                                              recordIdent));
        if (query.Eof())
            return;   // no such item: closed without a response
        storeNo = static_cast<int>(query.AsInteger("rec_objstore"));
        size = query.AsInteger("rec_size");
    }

    const ByteRange range = ByteRange::Parse(request.range, size);
    const std::string date = HeaderDateNow();
    const std::string lastModified = HeaderDateNow();
    Writeln(FormatStreamHeader(range, size, date, lastModified));
    if (range.kind != ByteRange::Kind::Unsatisfiable && size > 0)
        SendItemBody(recordIdent, storeNo, range.first, range.last);
}

void TVideoStreamServ::SendItemBody(int recordIdent, int firstStore, std::int64_t first,
                                    std::int64_t last)
{
    ObjectStore& store = ObjectStore::ForThisThread();
    int storeNo = firstStore;
    int chunkNo = 1;
    // Find the store of the chunk that holds byte first by following the chain through
    // the earlier chunks' next-store numbers alone; none of their content is read.
    const int startChunk = static_cast<int>(first / kChunkSize) + 1;
    while (chunkNo < startChunk) {
        if (storeNo == kEndOfChain)
            return;
        db::Query link(store.StoreConnection(storeNo),
                       SqlFormat("Select ro_nextstore from recobject where ro_record = %d and ro_chunk = %d",
                                 recordIdent, chunkNo));
        if (link.Eof())
            return;   // the chain is broken
        storeNo = static_cast<int>(link.AsInteger("ro_nextstore"));
        ++chunkNo;
    }

    std::int64_t offset = first % kChunkSize;   // into the first chunk sent
    std::int64_t remaining = last - first + 1;
    // One chunk at a time, paced by the player's reading: a send waits while the
    // socket's buffer is full, so the item comes as fast as the player takes it and no
    // faster. A fixed pause per chunk capped a connection at 5 MB/s, below a phone's 4K
    // video, which then waited for data for good.
    MemoryStream chunk;
    while (remaining > 0) {
        chunk.Clear();
        if (!store.ReadObjectChunk(chunk, recordIdent, chunkNo, storeNo))
            return;   // the chain is broken: the response ends short
        // The last chunk carries the zero fill of its last cipher block; nothing beyond
        // the item's length is sent.
        const std::int64_t take = std::min(chunk.Size() - offset, remaining);
        if (take <= 0)
            return;
        chunk.SetSize(offset + take);
        chunk.SetPosition(offset);
        SendStream(chunk);
        remaining -= take;
        offset = 0;
        if (Stopping())
            return;
        if (storeNo == kEndOfChain)
            return;
    }
}

} // namespace velmora
