// velmora-tool serve: the stream server in a process of its own, fetched by curl and
// stopped by signals. Each serve listens on a free port (--port 0): tests of other
// checkouts, or a running program, may hold 15654.
#include "RawHttpClient.h"
#include "support/LibraryFixture.h"

#include "platform/UniqueFd.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <optional>
#include <regex>
#include <vector>

namespace velmora::test {
namespace {

constexpr int kPatienceMs = 60000;

class StreamCommandsTest : public LibraryFixture {
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        content = PatternBytes(1234567, 21);
        item = AddItem(content, "clip.mpeg");
    }
    void TearDown() override
    {
        if (serve.state() != QProcess::NotRunning) {
            serve.kill();
            serve.waitForFinished(kPatienceMs);
        }
        LibraryFixture::TearDown();
    }

    // Without a port, serve takes the usual one.
    void StartServe(const std::string& ident, std::optional<int> port = 0) { Start(serve, ident, port); }
    void Start(QProcess& process, const std::string& ident, std::optional<int> port)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VELMORA_PASSWORD", kPassword);
        process.setProcessEnvironment(environment);
        QStringList arguments{"serve", "--data", QString::fromStdString(dir.str())};
        if (port)
            arguments << "--port" << QString::number(*port);
        process.start(QString::fromStdString((BinDir() / "velmora-tool").string()),
                      arguments << QString::fromStdString(ident));
        ASSERT_TRUE(process.waitForStarted(kPatienceMs));
    }
    // The port and the token of a URL serve printed.
    static int UrlPort(const std::string& url) { return std::stoi(url.substr(url.rfind(':') + 1)); }
    static std::string UrlToken(const std::string& url)
    {
        const auto start = url.find('/', std::string("http://").size()) + 1;
        return url.substr(start, url.find('/', start) - start);
    }
    // The URL serve prints once it listens; empty when it ends first.
    std::string WaitForUrl() { return WaitForUrl(serve); }
    static std::string WaitForUrl(QProcess& process)
    {
        std::string out;
        while (out.find('\n') == std::string::npos) {
            if (!process.waitForReadyRead(kPatienceMs))
                return {};
            out += process.readAllStandardOutput().toStdString();
        }
        const auto at = out.find(" at ");
        return at == std::string::npos ? std::string() : out.substr(at + 4, out.find('\n') - at - 4);
    }
    // Runs curl with args; returns its exit code.
    int Curl(const QStringList& args)
    {
        QProcess curl;
        curl.setProcessChannelMode(QProcess::ForwardedChannels);
        curl.start("curl", QStringList{"--silent", "--show-error", "--fail", "--max-time", "120"} + args);
        if (!curl.waitForStarted(kPatienceMs))
            return -1;   // not installed: scripts/install-deps installs it
        curl.waitForFinished(-1);
        return curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1;
    }

    QProcess serve;
    std::string content;
    int item = 0;
};

TEST_F(StreamCommandsTest, CurlFetchesTheItemFromTheUrlAndSigtermStopsCleanly)
{
    StartServe(std::to_string(item));
    const std::string url = WaitForUrl();
    EXPECT_TRUE(std::regex_match(url, std::regex(R"(http://localhost:\d+/[0-9a-f]{32}/\d{12}\.MPEG)"))) << url;

    // "localhost" may be tried as ::1 or 127.0.0.1 first: both are served.
    ASSERT_EQ(Curl({"--output", QString::fromStdString((dir / "whole").string()), QString::fromStdString(url)}), 0);
    // Without the token the server answers 403 (curl's exit code 22 under --fail).
    EXPECT_EQ(Curl({"--output", QString::fromStdString((dir / "refused").string()),
                    QString::fromStdString("http://localhost:" + std::to_string(UrlPort(url)) + "/" +
                                           url.substr(url.rfind('/') + 1))}),
              22);
    EXPECT_TRUE(ReadFile(dir / "whole") == content);
    ASSERT_EQ(Curl({"--range", "750000-", "--output", QString::fromStdString((dir / "part").string()),
                    QString::fromStdString(url)}), 0);
    EXPECT_TRUE(ReadFile(dir / "part") == content.substr(750000));

    serve.terminate();
    ASSERT_TRUE(serve.waitForFinished(kPatienceMs));
    EXPECT_EQ(serve.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(serve.exitCode(), 0) << serve.readAllStandardError().toStdString();
}

TEST_F(StreamCommandsTest, SigintStopsTheServerWhileItServesAConnection)
{
    item = AddItem(PatternBytes(20 * 500000, 22), "long.mpeg");
    StartServe(std::to_string(item));
    const std::string url = WaitForUrl();
    ASSERT_NE(url, "");
    RawHttpClient client("127.0.0.1", UrlPort(url), UrlToken(url));
    client.SendRequest();
    EXPECT_EQ(client.ReadHeader()[0], "HTTP/1.1 200 OK ");

    ::kill(static_cast<pid_t>(serve.processId()), SIGINT);
    ASSERT_TRUE(serve.waitForFinished(kPatienceMs));
    EXPECT_EQ(serve.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(serve.exitCode(), 0) << serve.readAllStandardError().toStdString();
    EXPECT_LT(client.ReadToEnd().size(), 20u * 500000);   // cut off, and closed
}

TEST_F(StreamCommandsTest, TakenPortIsReportedOnceAndServeFails)
{
    // Another program holds a port on both loopback addresses (::1 where there is IPv6).
    std::vector<UniqueFd> taken;
    const int on = 1;
    taken.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(taken.back().Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken.back().Get(), 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(taken.back().Get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);
    taken.emplace_back(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ::setsockopt(taken.back().Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(taken.back().Get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    sockaddr_in6 address6{};
    address6.sin6_family = AF_INET6;
    address6.sin6_port = address.sin_port;
    address6.sin6_addr = in6addr_loopback;
    if (taken.back().Valid() && ::bind(taken.back().Get(), reinterpret_cast<sockaddr*>(&address6), sizeof address6) == 0) {
        ASSERT_EQ(::listen(taken.back().Get(), 1), 0);
    }

    StartServe(std::to_string(item), port);
    ASSERT_TRUE(serve.waitForFinished(kPatienceMs));
    const std::string err = serve.readAllStandardError().toStdString();
    EXPECT_EQ(serve.exitCode(), 2);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("port " + std::to_string(port)), std::string::npos) << err;
}

// Whether a program holds port on 127.0.0.1.
bool PortTaken(int port)
{
    UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno == EADDRINUSE;
}

TEST_F(StreamCommandsTest, TheUsualPortTakenByAnotherProgramGivesWayToAFreeOne)
{
    // Another serve holds 15654, as another user's would; unless a program of the
    // machine has it already, which does as well.
    QProcess holder;
    Start(holder, std::to_string(item), 15654);
    const std::string held = WaitForUrl(holder);
    ASSERT_TRUE(PortTaken(15654)) << held << holder.readAllStandardError().toStdString();

    StartServe(std::to_string(item), std::nullopt);
    const std::string url = WaitForUrl();
    const std::string err = serve.readAllStandardError().toStdString();
    ASSERT_FALSE(url.empty()) << err;
    EXPECT_NE(UrlPort(url), 15654);
    EXPECT_NE(err.find("port 15654 is taken"), std::string::npos) << err;
    const QString file = QString::fromStdString((dir.path() / "fetched.mpeg").string());
    ASSERT_EQ(Curl({"--output", file, QString::fromStdString(url)}), 0);
    EXPECT_TRUE(ReadFile(file.toStdString()) == content);
    holder.kill();
    holder.waitForFinished(kPatienceMs);
}

TEST_F(StreamCommandsTest, UnknownItemIsRefused)
{
    StartServe(std::to_string(item + 100));
    ASSERT_TRUE(serve.waitForFinished(kPatienceMs));
    EXPECT_EQ(serve.exitCode(), 2);
    EXPECT_NE(serve.readAllStandardError().toStdString().find("no item"), std::string::npos);
}

} // namespace
} // namespace velmora::test
