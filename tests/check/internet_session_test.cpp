#include "check/check_texts.h"
#include "check/internet.h"
#include "tests/support/loopback_server.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace check;
using testsupport::LoopbackServer;

TEST(Internet, NullHandlesFailQuietly)
{
    RequestHandle request = internetOpenUrl(nullptr, "http://127.0.0.1/");
    EXPECT_EQ(request, nullptr);
    std::array<char, 16> buffer{};
    EXPECT_EQ(internetReadFile(nullptr, buffer), 0u);
    internetCloseHandle(request);
    SessionHandle session;
    internetCloseHandle(session);
}

TEST(Internet, ReadsHonourTheCountAskedForAndEndWithZero)
{
    LoopbackServer server;
    SessionHandle session = internetOpen("agent");
    ASSERT_NE(session, nullptr);
    RequestHandle request = internetOpenUrl(session.get(), server.url("/bytes/1000"));
    ASSERT_NE(request, nullptr);

    std::string body;
    std::array<char, 7> buffer{};
    std::size_t count = 0;
    while ((count = internetReadFile(request.get(), buffer)) != 0) {
        ASSERT_LE(count, buffer.size());
        body.append(buffer.data(), count);
    }
    EXPECT_EQ(body.size(), 1000u);
    EXPECT_EQ(body.substr(0, 3), "abc");
    EXPECT_EQ(internetReadFile(request.get(), buffer), 0u) << "stays at 0 after the end";
}

TEST(Internet, SendsTheAgentNameAndNoCustomHeaders)
{
    LoopbackServer server;
    SessionHandle session = internetOpen(texts::agentName());
    RequestHandle request = internetOpenUrl(session.get(), server.url("/page"));
    ASSERT_NE(request, nullptr);
    const std::string head = server.lastRequestHead();
    EXPECT_NE(head.find("User-Agent: Sentrilo [http://www.yondrel.example/]\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.find("Cookie"), std::string::npos) << head;
    EXPECT_EQ(head.find("If-"), std::string::npos) << "never a conditional (cached) request: " << head;
}

TEST(Internet, OpenWaitsForTheFinalResponseOnly)
{
    LoopbackServer server;
    SessionHandle session = internetOpen("agent");
    // Opening a redirect must not return on the 302's headers with nothing to read.
    InternetReport report;
    RequestHandle request = internetOpenUrl(session.get(), server.url("/redirect"), &report);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(server.requestCount(), 2u) << "returned on the redirect's headers";
    EXPECT_FALSE(report.overHttps) << "a captive portal may have written it";
    std::array<char, 2048> buffer{};
    const std::size_t count = internetReadFile(request.get(), buffer);
    EXPECT_EQ(std::string(buffer.data(), count), testsupport::kPageBody);
}

TEST(Internet, RejectedUrlsGiveNoHandle)
{
    LoopbackServer server;
    SessionHandle session = internetOpen("agent");
    const std::string port = std::to_string(server.port());
    const std::string rejected[] = {
        "",
        "   ",
        "127.0.0.1:" + port + "/page", // no scheme: never guessed as http
        "localhost:" + port + "/page",
        "file:///etc/hostname",
        "telnet://127.0.0.1:" + port + "/",
        "HTTP://",
        std::string("http://127.0.0.1:") + port + "/page" + std::string(1, '\0') + "x",
        "http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/",
    };
    for (const std::string& url : rejected) {
        InternetReport report;
        EXPECT_EQ(internetOpenUrl(session.get(), url, &report), nullptr) << url;
        EXPECT_NE(report.error, CURLE_OK) << url;
        EXPECT_FALSE(report.message.empty()) << url;
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(Internet, SchemeIsCaseInsensitiveAndLocalhostResolvesLocally)
{
    LoopbackServer server;
    SessionHandle session = internetOpen("agent");
    const std::string port = std::to_string(server.port());
    EXPECT_NE(internetOpenUrl(session.get(), "HTTP://127.0.0.1:" + port + "/page"), nullptr);
    EXPECT_NE(internetOpenUrl(session.get(), "http://localhost:" + port + "/page"), nullptr);
}

TEST(Internet, RequestMayOutliveItsSession)
{
    LoopbackServer server;
    SessionHandle session = internetOpen("agent");
    RequestHandle request = internetOpenUrl(session.get(), server.url("/page"));
    ASSERT_NE(request, nullptr);
    internetCloseHandle(session);
    std::array<char, 2048> buffer{};
    EXPECT_EQ(internetReadFile(request.get(), buffer), testsupport::kPageBody.size());
}

// A listener whose accept queue is full and never served: on loopback, further connection
// attempts then get no answer at all, as from a host that is down.
class SilentListener {
public:
    SilentListener()
    {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        // A backlog of 0 holds one connection, and the filler's takes that place.
        if (::bind(listener_, generic, length) != 0 || ::listen(listener_, 0) != 0
            || ::getsockname(listener_, generic, &length) != 0 || ::connect(filler_, generic, length) != 0)
            throw std::runtime_error("cannot set up a silent listener");
        url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    }
    ~SilentListener()
    {
        ::close(filler_);
        ::close(listener_);
    }

    std::string url;

private:
    int listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
};

TEST(Internet, TriesTheNamedProxiesInTurn)
{
    LoopbackServer origin;
    LoopbackServer proxy;
    SilentListener silent;
    const std::string unreachable = "http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort());
    const std::string direct;
    const struct {
        std::vector<ProxyEntry> proxies;
        bool fetched;
        bool viaProxy;
    } lists[] = {
        {{unreachable, proxy.url("")}, true, true},
        {{unreachable, direct}, true, false},
        {{unreachable}, false, false},
        // One that never answers may not use up the time the entries after it need.
        {{silent.url, proxy.url(""), direct}, true, true},
        {{silent.url, silent.url, direct}, true, false},
    };
    // Short enough that a single silent proxy given the whole budget would leave nothing.
    InternetLimits limits;
    limits.totalTimeout = std::chrono::seconds(3);
    for (const auto& list : lists) {
        SessionHandle session = internetOpen("agent", limits, [&](const std::string&) { return list.proxies; });
        const std::size_t before = proxy.requestCount();
        InternetReport report;
        RequestHandle request = internetOpenUrl(session.get(), origin.url("/page"), &report);
        EXPECT_EQ(request != nullptr, list.fetched) << list.proxies.back().proxy;
        EXPECT_EQ(proxy.requestCount() > before, list.viaProxy) << list.proxies.back().proxy;
        if (list.fetched) {
            EXPECT_EQ(report.proxy.empty(), !list.viaProxy) << "the proxy told is the one that answered";
        }
    }
}

TEST(SystemProxy, LibproxyAnswersAsLibcurlProxies)
{
    const struct {
        const char* answer;
        std::optional<std::string> proxy;
    } answers[] = {
        {"direct://", ""},
        {"http://proxy.test:3128", "http://proxy.test:3128"},
        {"HTTPS://u:p@proxy.test:443", "HTTPS://u:p@proxy.test:443"},
        {"socks4a://proxy.test:1080", "socks4a://proxy.test:1080"},
        {"socks://proxy.test:1080", "socks5h://proxy.test:1080"}, // version unstated, as GNOME gives it
        {"proxy.test:3128", "http://proxy.test:3128"},            // a proxy variable without a scheme
        {"ftp://proxy.test:21", std::nullopt},
        {"wpad://", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& entry : answers)
        EXPECT_EQ(curlProxyFor(entry.answer), entry.proxy) << entry.answer;
}

TEST(Internet, TimeOutsEndASilentServer)
{
    LoopbackServer server;
    InternetLimits limits;
    limits.totalTimeout = std::chrono::milliseconds(300);
    SessionHandle session = internetOpen("agent", limits);
    EXPECT_EQ(internetOpenUrl(session.get(), server.url("/silent")), nullptr);
}

} // namespace
