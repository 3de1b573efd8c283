#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Who may fetch from the stream server: only the player the program handed the URL to.
// The URL carries a token drawn afresh for every run as its first path segment, and the
// request must name this machine's loopback as its Host, so neither another local user
// nor a web page (through a name that resolves to 127.0.0.1) gets what is playing.

// 32 hexadecimal digits from the system's random source.
std::string NewStreamToken();

// Whether the request line ("GET /TOKEN/... HTTP/1.1") asks for a path whose first
// segment is token.
bool RequestCarriesToken(std::string_view requestLine, std::string_view token);

// Whether a Host header value names the loopback: "localhost" (in any letter case),
// "127.0.0.1" or "[::1]", bare or followed by ":" and port.
bool IsLoopbackHost(std::string_view host, int port);

} // namespace velmora
