// The stream server against a real library, through plain sockets.
#include "RawHttpClient.h"
#include "support/LibraryFixture.h"

#include "playback/StreamItemIdent.h"
#include "playback/VideoStreamServ.h"
#include "store/ObjectStore.h"
#include "store/SqlText.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <regex>
#include <thread>

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// Three chunks, the last one partial and not a whole number of cipher blocks.
constexpr std::size_t kItemSize = 1234567;

class VideoStreamServTest : public LibraryFixture {
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        content = PatternBytes(kItemSize, 7);
        item = AddItem(content, "clip.mpeg");
        StreamItemIdent = item;
        server.Port = 0;   // a free port: tests run side by side
        ASSERT_TRUE(server.Listen());
        port = server.BoundPort();
        token = server.Token();
    }
    void TearDown() override
    {
        server.Stop();
        StreamItemIdent = 0;
        LibraryFixture::TearDown();
    }

    int StoreOf(int recordIdent)
    {
        return static_cast<int>(Scalar(SqlFormat("Select rec_objstore from Record where rec_ident = %d", recordIdent)));
    }
    void ExecuteStore(int store, const std::string& sql)
    {
        ObjectStore::ForThisThread().StoreConnection(store).Execute(sql);
    }
    // Waits until the server has count live connections; false after a minute.
    bool WaitForConnections(int count)
    {
        for (int i = 0; i < 6000; ++i) {
            if (server.LiveConnections() == count)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    bool WaitUntilIdle() { return WaitForConnections(0); }

    TVideoStreamServ server;
    std::string content;
    int item = 0;
    int port = 0;
    std::string token;
};

TEST_F(VideoStreamServTest, AnswersWithTheFixedHeaderAndExactlyTheItem)
{
    const HttpResponse response = Fetch(port, token);
    ASSERT_EQ(response.header.size(), 9u);
    EXPECT_EQ(response.header[0], "HTTP/1.1 200 OK ");
    // The tests run in the C locale: English names.
    const std::regex date(R"((Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d:\d\d)");
    EXPECT_EQ(response.header[1].substr(0, 6), "Date: ");
    EXPECT_TRUE(std::regex_match(response.header[1].substr(6), date)) << response.header[1];
    EXPECT_EQ(response.header[2], "Server: Tarnel Internal Server");
    EXPECT_EQ(response.header[3].substr(0, 15), "Last-Modified: ");
    EXPECT_TRUE(std::regex_match(response.header[3].substr(15), date)) << response.header[3];
    EXPECT_EQ(response.header[4], "ETag: \"230be-21b9dd4-3c59525e\"");
    EXPECT_EQ(response.header[5], "Accept-Ranges: bytes");
    EXPECT_EQ(response.header[6], "Content-Length: 1234567");
    EXPECT_EQ(response.header[7], "Keep-Alive: timeout=15, max=100");
    EXPECT_EQ(response.header[8], "Connection: Keep-Alive");
    // Exactly the item: the zero fill of the last cipher block is not sent.
    EXPECT_EQ(response.body.size(), content.size());
    EXPECT_TRUE(response.body == content);
}

TEST_F(VideoStreamServTest, OnlyTheTokenAndALoopbackHostAreServed)
{
    EXPECT_TRUE(std::regex_match(token, std::regex("[0-9a-f]{32}"))) << token;
    EXPECT_NE(TVideoStreamServ().Token(), token) << "every server draws its own";
    const std::string p = std::to_string(port);
    struct Case {
        std::string target;
        std::vector<std::string> hosts;
        bool served;
    };
    const std::string t = "/" + token;
    const std::vector<Case> cases{
        {t + "/200501020907.MPEG", {"localhost:" + p}, true},
        {t + "/x", {"localhost"}, true},
        {t + "/x", {"LocalHost:" + p}, true},
        {t + "/x", {"127.0.0.1"}, true},
        {t + "/x", {"127.0.0.1:" + p}, true},
        {t + "/x", {"[::1]"}, true},
        {t + "/x", {"[::1]:" + p}, true},
        {t + "/", {"  localhost  "}, true},
        {"/200501020907.MPEG", {"localhost"}, false},
        {"/../../etc/passwd", {"localhost"}, false},
        {"/", {"localhost"}, false},
        {t, {"localhost"}, false},
        {t + "0/x", {"localhost"}, false},
        {t.substr(0, t.size() - 1) + "/x", {"localhost"}, false},
        {"/x" + t + "/x", {"localhost"}, false},
        {"http://localhost:" + p + t + "/x", {"localhost"}, false},
        {t + "/x", {}, false},
        {t + "/x", {"evil.example"}, false},
        {t + "/x", {"evil.example:" + p}, false},
        {t + "/x", {"localhost.evil.example"}, false},
        {t + "/x", {"127.0.0.2"}, false},
        {t + "/x", {"localhost:" + std::to_string(port + 1)}, false},
        {t + "/x", {"localhost:"}, false},
        {t + "/x", {"::1"}, false},
        {t + "/x", {""}, false},
        {t + "/x", {"localhost", "evil.example"}, false},
    };
    for (const auto& c : cases) {
        std::string request = "GET " + c.target + " HTTP/1.1\r\n";
        for (const auto& host : c.hosts)
            request += "Host:" + host + "\r\n";
        SCOPED_TRACE(request);
        RawHttpClient client("127.0.0.1", port);
        client.Send(request + "User-Agent: test\r\n\r\n");
        const std::vector<std::string> header = client.ReadHeader();
        const std::string body = client.ReadToEnd();   // and the server closes
        if (c.served) {
            ASSERT_EQ(header.size(), 9u);
            EXPECT_EQ(header[0], "HTTP/1.1 200 OK ");
            EXPECT_EQ(header[6], "Content-Length: 1234567");
            EXPECT_TRUE(body == content);
        } else {
            EXPECT_EQ(header, (std::vector<std::string>{"HTTP/1.1 403 Forbidden", "Content-Length: 0",
                                                        "Connection: close"}));
            EXPECT_EQ(body, "");
        }
    }
}

TEST_F(VideoStreamServTest, ServesOnBothLoopbackAddressesOnly)
{
    // ::1 exists where the machine has IPv6 at all.
    const int probe = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 any6{};
    any6.sin6_family = AF_INET6;
    any6.sin6_addr = in6addr_loopback;
    const bool haveIpv6 = probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&any6), sizeof any6) == 0;
    if (probe >= 0)
        ::close(probe);
    if (haveIpv6) {
        EXPECT_TRUE(Fetch(port, token, {}, "::1").body == content);
    }

    // A server bound to every address would answer on any address of 127/8.
    EXPECT_THROW(RawHttpClient("127.0.0.2", port), std::runtime_error);
}

struct RangeCase {
    const char* header;
    const char* status;
    const char* contentRange;   // "" when none is expected
    std::size_t first;
    std::size_t length;
};
void PrintTo(const RangeCase& c, std::ostream* out)
{
    *out << '"' << c.header << '"';
}

class VideoStreamServRangeTest : public VideoStreamServTest,
                                 public ::testing::WithParamInterface<RangeCase> {};

TEST_P(VideoStreamServRangeTest, AnswersTheRangeAsked)
{
    const RangeCase& c = GetParam();
    const HttpResponse response = Fetch(port, token, {c.header});
    ASSERT_FALSE(response.header.empty());
    EXPECT_EQ(response.header[0], c.status);
    EXPECT_EQ(response.Field("Content-Range"), c.contentRange);
    EXPECT_EQ(response.Field("Content-Length"), std::to_string(c.length));
    EXPECT_EQ(response.Field("Accept-Ranges"), "bytes");
    ASSERT_EQ(response.body.size(), c.length);
    EXPECT_TRUE(response.body == content.substr(c.first, c.length));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, VideoStreamServRangeTest,
    ::testing::Values(
        // From the middle of the second chunk to the end.
        RangeCase{"Range: bytes=750000-", "HTTP/1.1 206 Partial Content", "bytes 750000-1234566/1234567", 750000, 484567},
        // Across the border of the second and third chunk.
        RangeCase{"Range: bytes=999990-1000009", "HTTP/1.1 206 Partial Content", "bytes 999990-1000009/1234567", 999990, 20},
        RangeCase{"range: bytes=0-", "HTTP/1.1 206 Partial Content", "bytes 0-1234566/1234567", 0, kItemSize},
        RangeCase{"Range: bytes=1234566-", "HTTP/1.1 206 Partial Content", "bytes 1234566-1234566/1234567", 1234566, 1},
        RangeCase{"Range: bytes=1200000-99999999", "HTTP/1.1 206 Partial Content", "bytes 1200000-1234566/1234567", 1200000, 34567},
        RangeCase{"Range: bytes=-100", "HTTP/1.1 206 Partial Content", "bytes 1234467-1234566/1234567", 1234467, 100},
        RangeCase{"Range: bytes=1234567-", "HTTP/1.1 416 Range Not Satisfiable", "bytes */1234567", 0, 0},
        // Not understood: ignored, the whole item as without a Range header.
        RangeCase{"Range: bytes=5-2", "HTTP/1.1 200 OK ", "", 0, kItemSize},
        RangeCase{"Range: bytes=0-1,5-9", "HTTP/1.1 200 OK ", "", 0, kItemSize}));

TEST_F(VideoStreamServTest, RangeReadsNoChunkBeforeTheOneItStartsIn)
{
    // Chunk 1 loses its content but keeps its link to chunk 2.
    ExecuteStore(StoreOf(item), SqlFormat("Update recobject set ro_data = NULL where ro_record = %d and ro_chunk = 1", item));
    const HttpResponse whole = Fetch(port, token);
    EXPECT_FALSE(whole.body == content);   // the damage shows where chunk 1 is read

    const HttpResponse range = Fetch(port, token, {"Range: bytes=750000-"});
    EXPECT_EQ(range.header[0], "HTTP/1.1 206 Partial Content");
    EXPECT_TRUE(range.body == content.substr(750000));
}

TEST_F(VideoStreamServTest, BrokenChainEndsTheResponseAndClosesTheConnection)
{
    ExecuteStore(StoreOf(item), SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 2", item));
    const HttpResponse response = Fetch(port, token);   // returns only once the server closes
    EXPECT_EQ(response.Field("Content-Length"), "1234567");
    EXPECT_TRUE(response.body == content.substr(0, 500000));

    const HttpResponse range = Fetch(port, token, {"Range: bytes=1100000-"});   // the chain walk breaks
    EXPECT_EQ(range.body, "");
    EXPECT_TRUE(WaitUntilIdle());
}

TEST_F(VideoStreamServTest, NoMatchingItemClosesWithoutAResponse)
{
    StreamItemIdent = item + 1000;
    RawHttpClient client("127.0.0.1", port, token);
    client.SendRequest();
    EXPECT_EQ(client.ReadToEnd(), "");
}

TEST_F(VideoStreamServTest, EveryConnectionServesTheItemNamedWhenItStarts)
{
    const std::string other = PatternBytes(600001, 8);
    const int otherItem = AddItem(other, "other.mp3");
    EXPECT_TRUE(Fetch(port, token).body == content);
    EXPECT_TRUE(Fetch(port, token).body == content);   // again from the first byte
    StreamItemIdent = otherItem;
    EXPECT_TRUE(Fetch(port, token).body == other);     // same URL, the new item
}

TEST_F(VideoStreamServTest, EmptyItemGetsAnEmptyBody)
{
    StreamItemIdent = AddItem("", "empty.wav");
    const HttpResponse response = Fetch(port, token);
    EXPECT_EQ(response.header[0], "HTTP/1.1 200 OK ");
    EXPECT_EQ(response.Field("Content-Length"), "0");
    EXPECT_EQ(response.body, "");
}

TEST_F(VideoStreamServTest, ClientLeavingMidBodyEndsItsThreadAndServingGoesOn)
{
    StreamItemIdent = AddItem(PatternBytes(5 * 500000, 9), "long.mpeg");
    {
        RawHttpClient client("127.0.0.1", port, token);
        client.SendRequest();
        client.ReadHeader();
        EXPECT_EQ(client.ReadBody(100000).size(), 100000u);
        client.Close();   // with bytes unread: the server's next send fails
    }
    EXPECT_TRUE(WaitUntilIdle());
    StreamItemIdent = item;
    EXPECT_TRUE(Fetch(port, token).body == content);
}

TEST_F(VideoStreamServTest, AnswersOnlyOnceTheRequestHeaderIsComplete)
{
    RawHttpClient client("127.0.0.1", port, token);
    client.Send("GET /" + token + "/x.MPEG HTTP/1.1\r\nHost: localhost\r\n");
    client.Send("Range: bytes=1000000-\r\n");   // arrives later: still honoured
    client.Send("\r\n");
    const auto header = client.ReadHeader();
    EXPECT_EQ(header[0], "HTTP/1.1 206 Partial Content");
    EXPECT_TRUE(client.ReadToEnd() == content.substr(1000000));
}

TEST_F(VideoStreamServTest, SilentRequestsAreDropped)
{
    server.RequestTime = 300ms;
    RawHttpClient silent("127.0.0.1", port, token);
    RawHttpClient requestLineOnly("127.0.0.1", port, token);
    requestLineOnly.Send("GET /" + token + "/x.MPEG HTTP/1.1\r\n");
    EXPECT_EQ(silent.ReadToEnd(), "");
    EXPECT_EQ(requestLineOnly.ReadToEnd(), "");
    EXPECT_TRUE(WaitUntilIdle());
}

// The real times: a request that trickles is never silent for the idle time.
TEST_F(VideoStreamServTest, ARequestThatTricklesIsDroppedWhenItsTimeIsUp)
{
    ASSERT_EQ(server.IdleTimeout, 30s);
    RawHttpClient trickler("127.0.0.1", port, token);
    trickler.Send("GET /" + token + "/x.MPEG HTTP/1.1\r\nHost: localhost\r\nX-Slow: ");
    const auto start = std::chrono::steady_clock::now();
    bool closed = false;
    while (!closed && std::chrono::steady_clock::now() - start < 25s) {
        std::this_thread::sleep_for(1s);
        char byte;
        const ssize_t n = ::recv(trickler.Handle(), &byte, 1, MSG_DONTWAIT | MSG_PEEK);
        closed = n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        if (!closed)
            trickler.Send("a");
    }
    EXPECT_TRUE(closed) << "held for 25 s while it sent a byte a second";
    EXPECT_EQ(trickler.ReadToEnd(), "");
    EXPECT_TRUE(Fetch(port, token).body == content);
}

// Another user opens 40 connections that trickle a request without the token, one
// byte every 20 s, and 1,000 that send nothing; the owner's player is served meanwhile.
TEST_F(VideoStreamServTest, TheOwnersPlayerIsServedWhileAnotherUserTricklesAndFloods)
{
    QProcess crowd;
    const QString program = QString::fromStdString((BinDir() / "stream-crowd").string());
    const QStringList arguments{QString::number(port), "1000", "40", "20000"};
    if (::geteuid() == 0)
        crowd.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", program} + arguments);
    else
        crowd.start(program, arguments);
    ASSERT_TRUE(crowd.waitForStarted(60000));
    std::string out;
    while (out.find("ready\n") == std::string::npos && crowd.state() == QProcess::Running) {
        crowd.waitForReadyRead(1000);
        out += crowd.readAllStandardOutput().toStdString();
    }
    ASSERT_NE(out.find("ready\n"), std::string::npos) << out << crowd.readAllStandardError().toStdString();

    const HttpResponse response = Fetch(port, token);
    ASSERT_FALSE(response.header.empty()) << "the owner's player got no answer";
    EXPECT_EQ(response.header[0], "HTTP/1.1 200 OK ");
    EXPECT_TRUE(response.body == content);
    EXPECT_LE(server.LiveConnections(), 1);

    std::this_thread::sleep_for(server.RequestTime + 3s);
    crowd.closeWriteChannel();
    ASSERT_TRUE(crowd.waitForFinished(60000));
    out += crowd.readAllStandardOutput().toStdString();
    // Every connection of the crowd was closed by the server: none is being served.
    EXPECT_NE(out.find("closed 1040"), std::string::npos) << out;
}

// The real idle time, not a shortened one: what a stalled client costs is what matters.
TEST_F(VideoStreamServTest, ClientsThatStopReadingAreDroppedAfterThirtySecondsAndServingGoesOn)
{
    ASSERT_EQ(server.IdleTimeout, 30s);
    const std::string longContent = PatternBytes(20 * 500000, 12);
    StreamItemIdent = AddItem(longContent, "long.mpeg");
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<RawHttpClient>> stalled;
    for (int i = 0; i < 100; ++i) {
        // A small receive window: the server's sends block after a few kilobytes.
        stalled.push_back(std::make_unique<RawHttpClient>("127.0.0.1", port, token, 4096));
        try {
            stalled.back()->SendRequest();
        } catch (const std::runtime_error&) {
            // One beyond the limit may be closed before its request goes out.
        }
    }
    ASSERT_TRUE(WaitForConnections(TNMGeneralServer::kMaxConnections));
    std::this_thread::sleep_for(20s);
    EXPECT_EQ(server.LiveConnections(), TNMGeneralServer::kMaxConnections) << "dropped before their time";

    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30s);
    for (auto& client : stalled)
        EXPECT_LT(client->ReadToEnd().size(), longContent.size());
    EXPECT_TRUE(Fetch(port, token).body == longContent);
}

TEST_F(VideoStreamServTest, AConnectionBeyondThirtyTwoIsClosedAtOnce)
{
    // Players that stop reading hold their connections for the idle time (30 seconds).
    StreamItemIdent = AddItem(PatternBytes(20 * 500000, 12), "long.mpeg");
    std::vector<std::unique_ptr<RawHttpClient>> held;
    for (int i = 0; i < TNMGeneralServer::kMaxConnections; ++i) {
        held.push_back(std::make_unique<RawHttpClient>("127.0.0.1", port, token, 4096));
        held.back()->SendRequest();
    }
    ASSERT_TRUE(WaitForConnections(TNMGeneralServer::kMaxConnections));

    RawHttpClient extra("127.0.0.1", port, token);
    extra.SendRequest();
    const std::string answer = extra.ReadToEnd();
    EXPECT_TRUE(answer.empty()) << "served " << answer.size() << " bytes";
    // Closed while the others are still held: refused, not queued behind them.
    EXPECT_EQ(server.LiveConnections(), TNMGeneralServer::kMaxConnections);

    held.pop_back();   // with bytes unread: the server's next send fails
    ASSERT_TRUE(WaitForConnections(TNMGeneralServer::kMaxConnections - 1));
    StreamItemIdent = item;
    EXPECT_TRUE(Fetch(port, token).body == content);
}

TEST_F(VideoStreamServTest, TwentyConcurrentClientsEachGetTheirItem)
{
    constexpr int kClients = 20;
    std::vector<std::string> contents;
    std::vector<int> items;
    for (int i = 0; i < kClients; ++i) {
        contents.push_back(PatternBytes(500000 + 37 * 1000 * static_cast<std::size_t>(i) + 3, 100 + i));
        items.push_back(AddItem(contents.back(), "clip" + std::to_string(i) + ".mpeg"));
    }
    // Each connection reads the item ident as it starts; its header tells that it has.
    std::vector<std::unique_ptr<RawHttpClient>> clients;
    std::vector<std::vector<std::string>> headers;
    for (int i = 0; i < kClients; ++i) {
        StreamItemIdent = items[i];
        clients.push_back(std::make_unique<RawHttpClient>("127.0.0.1", port, token));
        clients.back()->SendRequest();
        headers.push_back(clients.back()->ReadHeader());
    }
    std::vector<std::string> bodies(kClients);
    std::vector<std::thread> readers;
    for (int i = 0; i < kClients; ++i)
        readers.emplace_back([&, i] { bodies[i] = clients[i]->ReadToEnd(); });
    for (auto& reader : readers)
        reader.join();
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(headers[i][6], "Content-Length: " + std::to_string(contents[i].size())) << "client " << i;
        EXPECT_TRUE(bodies[i] == contents[i]) << "client " << i;
    }
}

TEST_F(VideoStreamServTest, StopEndsEveryConnection)
{
    StreamItemIdent = AddItem(PatternBytes(20 * 500000, 11), "long.mpeg");
    RawHttpClient arriving("127.0.0.1", port, token);   // its request has not come yet
    RawHttpClient stalled("127.0.0.1", port, token, 4096);
    stalled.SendRequest();
    RawHttpClient reading("127.0.0.1", port, token);
    reading.SendRequest();
    reading.ReadHeader();
    reading.ReadBody(1000);
    ASSERT_TRUE(WaitForConnections(2));

    server.Stop();   // returns only when every connection thread has ended
    EXPECT_EQ(server.LiveConnections(), 0);
    EXPECT_FALSE(server.Listening());
    EXPECT_EQ(arriving.ReadToEnd(), "");
    EXPECT_LT(stalled.ReadToEnd().size(), 20u * 500000);
    // Far more than the socket buffers hold: the server cannot have sent it all while
    // this client was not reading.
    EXPECT_LT(reading.ReadToEnd().size(), 20u * 500000 - 1000);
    EXPECT_THROW(RawHttpClient("127.0.0.1", port, token), std::runtime_error);
}

TEST_F(VideoStreamServTest, ATakenPortIsReportedOnceAndAFreeOneIsListenedOn)
{
    TVideoStreamServ second;
    second.Port = port;   // both loopback addresses are this fixture's server's
    ::testing::internal::CaptureStderr();
    const bool listening = second.Listen();
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(listening) << err;
    const int fallback = second.BoundPort();
    EXPECT_NE(fallback, port);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("port " + std::to_string(port)), std::string::npos) << err;
    EXPECT_NE(err.find("Address already in use"), std::string::npos) << err;
    EXPECT_NE(err.find("port " + std::to_string(fallback) + " instead"), std::string::npos) << err;
    // The URL the player is given names the port listened on, on both loopback addresses.
    EXPECT_NE(second.ItemUrl(".MPEG").find("http://localhost:" + std::to_string(fallback) + "/"), std::string::npos);
    EXPECT_TRUE(Fetch(fallback, second.Token()).body == content);
    EXPECT_TRUE(Fetch(port, token).body == content);   // the first server is unharmed
}

} // namespace
} // namespace velmora::test
