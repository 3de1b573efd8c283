#include "RawHttpClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>

namespace velmora::test {

RawHttpClient::RawHttpClient(const std::string& host, int port, std::string token, int receiveBuffer)
    : m_port(port), m_token(std::move(token))
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
    if (host.find(':') != std::string::npos) {
        family = AF_INET6;
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET6, host.c_str(), &in6->sin6_addr);
        length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &in->sin_addr);
        length = sizeof(sockaddr_in);
    }
    m_fd.Reset(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (m_fd.Valid() && receiveBuffer > 0)
        ::setsockopt(m_fd.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (!m_fd.Valid() || ::connect(m_fd.Get(), reinterpret_cast<sockaddr*>(&storage), length) != 0)
        throw std::runtime_error("cannot connect to " + host + " port " + std::to_string(port) + ": " +
                                 std::strerror(errno));
}

void RawHttpClient::Send(const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0)
            throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        sent += static_cast<std::size_t>(n);
    }
}

void RawHttpClient::SendRequest(const std::vector<std::string>& headerLines)
{
    std::string request = "GET /" + m_token + "/200501020907.MPEG HTTP/1.1\r\nHost: localhost:" +
                          std::to_string(m_port) + "\r\nUser-Agent: test\r\n";
    for (const auto& line : headerLines)
        request += line + "\r\n";
    Send(request + "\r\n");
}

bool RawHttpClient::ReceiveMore()
{
    pollfd fd{m_fd.Get(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count()));
    if (ready <= 0)
        throw std::runtime_error("the server sent nothing for a minute");
    char buffer[65536];
    const ssize_t n = ::recv(m_fd.Get(), buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;   // closed, or reset
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::vector<std::string> RawHttpClient::ReadHeader()
{
    std::size_t end;
    while ((end = m_pending.find("\r\n\r\n")) == std::string::npos)
        if (!ReceiveMore())
            throw std::runtime_error("the connection ended before the response header did");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < end + 2) {
        const std::size_t lineEnd = m_pending.find("\r\n", start);
        lines.push_back(m_pending.substr(start, lineEnd - start));
        start = lineEnd + 2;
    }
    m_pending.erase(0, end + 4);
    return lines;
}

std::string RawHttpClient::ReadBody(std::size_t count)
{
    while (m_pending.size() < count && ReceiveMore()) {
    }
    const std::size_t n = std::min(count, m_pending.size());
    std::string body = m_pending.substr(0, n);
    m_pending.erase(0, n);
    return body;
}

std::string RawHttpClient::ReadToEnd()
{
    while (ReceiveMore()) {
    }
    return std::exchange(m_pending, {});
}

std::string HttpResponse::Field(const std::string& name) const
{
    const std::string prefix = name + ": ";
    for (const auto& line : header)
        if (line.rfind(prefix, 0) == 0)
            return line.substr(prefix.size());
    return {};
}

HttpResponse Fetch(int port, const std::string& token, const std::vector<std::string>& headerLines,
                   const std::string& host)
{
    RawHttpClient client(host, port, token);
    client.SendRequest(headerLines);
    HttpResponse response;
    response.header = client.ReadHeader();
    response.body = client.ReadToEnd();
    return response;
}

} // namespace velmora::test
