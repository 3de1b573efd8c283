// stream-crowd PORT IDLE TRICKLING INTERVAL_MS: another local user against the stream
// server. Opens TRICKLING connections to 127.0.0.1:PORT that send a request without the
// server's token one byte at a time, one byte every INTERVAL_MS on each, and IDLE
// connections that send nothing; prints "ready" once all are open, and holds them until
// its standard input ends (at most two minutes). Then prints how many of them the
// server had closed.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int Connect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    return fd;
}

// Whether the server has closed the connection (or reset it).
bool ClosedByServer(int fd)
{
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const int port = std::atoi(argv[1]);
    const int idle = std::atoi(argv[2]);
    const int trickling = std::atoi(argv[3]);
    const int intervalMs = std::atoi(argv[4]);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    const std::string request = "GET /not-the-token/200501020907.MPEG HTTP/1.1\r\nHost: localhost\r\n\r\n";
    std::vector<int> tricklers;
    std::vector<std::size_t> sent;
    for (int i = 0; i < trickling; ++i) {
        tricklers.push_back(Connect(port));
        ::send(tricklers.back(), request.data(), 1, MSG_NOSIGNAL);
        sent.push_back(1);
    }
    std::vector<int> idlers;
    for (int i = 0; i < idle; ++i)
        idlers.push_back(Connect(port));
    std::printf("ready\n");
    std::fflush(stdout);

    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < end) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, intervalMs) > 0) {
            char byte;
            if (::read(STDIN_FILENO, &byte, 1) <= 0)
                break;
        }
        for (std::size_t i = 0; i < tricklers.size(); ++i) {
            if (sent[i] < request.size() && ::send(tricklers[i], request.data() + sent[i], 1, MSG_NOSIGNAL) == 1)
                ++sent[i];
        }
    }
    int closed = 0;
    for (const int fd : tricklers)
        closed += ClosedByServer(fd) ? 1 : 0;
    for (const int fd : idlers)
        closed += ClosedByServer(fd) ? 1 : 0;
    std::printf("closed %d\n", closed);
    return 0;
}
