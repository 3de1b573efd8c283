#pragma once

#include "playback/NMGeneralServer.h"
#include "playback/StreamUrl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The local HTTP server the media player fetches items from. Every connection is
// answered with the item StreamItemIdent names as it starts, decrypted chunk by chunk
// from the object store as fast as the player reads it; one response, then the
// connection closes. A "Range: bytes=N-[M]" request gets "206 Partial Content" with
// the body from byte N, so players can seek; without one the answer is the fixed
// "200 OK " response with the whole item.
//
// Only the URL this server hands out is served: its first path segment is the
// server's token, drawn afresh for every server, and the Host must be the loopback
// (localhost, 127.0.0.1 or [::1]). Any other request is answered "403 Forbidden".
class TVideoStreamServ : public TNMGeneralServer {
public:
    TVideoStreamServ();
    // Stops before this class is gone: the accept thread instantiates through it.
    ~TVideoStreamServ() override { Stop(); }

    // The token the URLs of this server carry.
    const std::string& Token() const { return m_token; }
    // The URL the player is given for an item whose file name has this extension,
    // opened now: FormatStreamUrl with the local time, the token and the bound port.
    std::string ItemUrl(std::string_view extension) const;

protected:
    void ServeConnection() override;
    std::unique_ptr<TNMGeneralServer> InstantiateServer() const override;
    // A request without the token is refused as soon as its request line has come.
    bool AdmitsRequestLine(std::string_view requestLine) const override;
    std::string Refusal() const override;

private:
    struct RequestHeader {
        std::string requestLine;
        std::optional<std::string> range;
        std::vector<std::string> hosts;   // the value of every Host line
    };

    explicit TVideoStreamServ(std::string token);
    // Reads the request up to its empty line (or the peer's end of sending). A socket
    // closed with request bytes unread is reset by the system, which would cut the
    // body short at the player.
    RequestHeader ReadRequestHeader();
    bool Admits(const RequestHeader& request) const;
    // Sends bytes first..last of the item, chunk by chunk, from the chunk that holds
    // byte first; returns when done, when the chain breaks or the server stops.
    void SendItemBody(int recordIdent, int firstStore, std::int64_t first, std::int64_t last);

    std::string m_token;
};

} // namespace velmora
