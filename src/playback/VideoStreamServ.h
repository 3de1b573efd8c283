#pragma once

#include "playback/NMGeneralServer.h"
#include "playback/StreamUrl.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// The local HTTP server the media player fetches items from. Every connection is
// answered with the item StreamItemIdent names as it starts, decrypted chunk by chunk
// from the object store with a pause after each chunk; one response, then the
// connection closes. A "Range: bytes=N-[M]" request gets "206 Partial Content" with
// the body from byte N, so players can seek; without one the answer is the fixed
// "200 OK " response with the whole item.
class TVideoStreamServ : public TNMGeneralServer {
public:
    static constexpr std::chrono::milliseconds kChunkPause{100};

    TVideoStreamServ() { Port = kStreamServerPort; }
    // Stops before this class is gone: the accept thread instantiates through it.
    ~TVideoStreamServ() override { Stop(); }

protected:
    void ServeConnection() override;
    std::unique_ptr<TNMGeneralServer> InstantiateServer() const override;

private:
    // Reads the request up to its empty line (or the peer's end of sending) and returns
    // the value of its Range header, if any. A socket closed with request bytes unread
    // is reset by the system, which would cut the body short at the player.
    std::optional<std::string> ReadRequestHeader();
    // Sends bytes first..last of the item, chunk by chunk, from the chunk that holds
    // byte first; returns when done, when the chain breaks or the server stops.
    void SendItemBody(int recordIdent, int firstStore, std::int64_t first, std::int64_t last);
};

} // namespace velmora
