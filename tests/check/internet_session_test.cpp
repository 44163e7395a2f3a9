#include "check/check_texts.h"
#include "check/internet_session.h"
#include "tests/support/loopback_server.h"

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

// The response owns its transfer: it reads on after its session is gone.
TEST(Internet, ReadsHonourTheCountAskedForAndEndWithZero)
{
    LoopbackServer server;
    InternetResponse response = InternetSession("agent").open(server.url("/bytes/1000"));

    std::string body;
    std::array<char, 7> buffer{};
    std::size_t count = 0;
    while ((count = response.read(buffer)) != 0) {
        ASSERT_LE(count, buffer.size());
        body.append(buffer.data(), count);
    }
    EXPECT_EQ(body.size(), 1000u);
    EXPECT_EQ(body.substr(0, 3), "abc");
    EXPECT_EQ(response.read(buffer), 0u) << "stays at 0 after the end";
}

TEST(Internet, SendsTheAgentNameAndNoCustomHeaders)
{
    LoopbackServer server;
    InternetSession(texts::agentName()).open(server.url("/page"));
    const std::string head = server.lastRequestHead();
    EXPECT_NE(head.find("User-Agent: Sentrilo [http://www.yondrel.example/]\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.find("Cookie"), std::string::npos) << head;
    EXPECT_EQ(head.find("If-"), std::string::npos) << "never a conditional (cached) request: " << head;
}

TEST(Internet, OpenWaitsForTheFinalResponseOnly)
{
    LoopbackServer server;
    // Opening a redirect must not return on the 302's headers with nothing to read.
    const InternetResponse response = InternetSession("agent").open(server.url("/redirect"));
    EXPECT_EQ(server.requestCount(), 2u) << "returned on the redirect's headers";
    EXPECT_FALSE(response.report().overHttps) << "a captive portal may have written it";
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
        const InternetSession session("agent", limits, [&](const std::string&) { return list.proxies; });
        const std::size_t before = proxy.requestCount();
        InternetResponse response = session.open(origin.url("/page"));
        std::array<char, 64> buffer{};
        EXPECT_EQ(response.read(buffer) != 0, list.fetched) << list.proxies.back().proxy;
        EXPECT_EQ(proxy.requestCount() > before, list.viaProxy) << list.proxies.back().proxy;
        if (list.fetched) {
            EXPECT_EQ(response.report().proxy.empty(), !list.viaProxy) << "the proxy told is the one that answered";
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

} // namespace
