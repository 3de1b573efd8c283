#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

// A plain TCP client that speaks just enough HTTP to check the stream server byte for
// byte. Every wait has a generous limit so that a server fault fails the test instead of
// hanging it.
class RawHttpClient {
public:
    static constexpr std::chrono::seconds kPatience{60};

    // Connects to host (an IPv4 or IPv6 literal) at port; throws when that fails. token:
    // the server's, for the path of SendRequest. receiveBuffer: when not 0, the socket's
    // receive buffer is made that small, so a client that stops reading stalls the
    // server's sends at once.
    RawHttpClient(const std::string& host, int port, std::string token = {}, int receiveBuffer = 0);

    void Send(const std::string& bytes);
    // A request for the URL the server hands out ("/TOKEN/200501020907.MPEG", Host
    // "localhost:PORT") with the given extra header lines (each without its line end).
    void SendRequest(const std::vector<std::string>& headerLines = {});

    // Reads until the empty line that ends the response header; returns the header's
    // lines without their CR LF. Bytes after it stay for ReadBody.
    std::vector<std::string> ReadHeader();
    // Reads up to count more body bytes (fewer when the server closes first).
    std::string ReadBody(std::size_t count);
    // Reads until the server closes (or resets) the connection; returns what came.
    // Throws when the server neither sends nor closes for kPatience.
    std::string ReadToEnd();

    // Closes at once; with unread bytes waiting this resets the connection.
    void Close() { m_fd.Reset(); }
    int Handle() const { return m_fd.Get(); }

private:
    // Appends what arrives next; false when the connection has ended.
    bool ReceiveMore();

    UniqueFd m_fd;
    int m_port;
    std::string m_token;
    std::string m_pending;
};

// A whole response, split.
struct HttpResponse {
    std::vector<std::string> header;
    std::string body;
    std::string Field(const std::string& name) const;   // "" when absent
};
HttpResponse Fetch(int port, const std::string& token, const std::vector<std::string>& headerLines = {},
                   const std::string& host = "127.0.0.1");

} // namespace velmora::test
