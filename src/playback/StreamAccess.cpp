#include "playback/StreamAccess.h"

#include "store/AsciiText.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/random.h>

namespace velmora {

std::string NewStreamToken()
{
    std::uint8_t bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("getrandom: ") + std::strerror(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (const std::uint8_t byte : bytes) {
        token += kDigits[byte >> 4];
        token += kDigits[byte & 0xF];
    }
    return token;
}

bool RequestCarriesToken(std::string_view requestLine, std::string_view token)
{
    if (token.empty())
        return false;
    const auto space = requestLine.find(' ');
    if (space == std::string_view::npos)
        return false;
    const std::string_view target = requestLine.substr(space + 1);
    if (target.size() < token.size() + 2 || target[0] != '/' || target[token.size() + 1] != '/')
        return false;
    // Compared in full whatever differs first: how long a refusal takes tells nothing.
    unsigned char differs = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        differs |= static_cast<unsigned char>(target[i + 1] ^ token[i]);
    return differs == 0;
}

bool IsLoopbackHost(std::string_view host, int port)
{
    if (host.empty())
        return false;
    std::string_view name = host;
    const auto colon = host.rfind(':');
    // "[::1]" holds colons of its own; a port follows only the closing bracket.
    if (colon != std::string_view::npos && (host.front() != '[' || colon > host.rfind(']'))) {
        if (host.substr(colon + 1) != std::to_string(port))
            return false;
        name = host.substr(0, colon);
    }
    return AsciiLower(name) == "localhost" || name == "127.0.0.1" || name == "[::1]";
}

} // namespace velmora
