#include "check/page_fetcher.h"
#include "tests/support/loopback_server.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::LoopbackServer;

// The body alone: what the verdict rests on.
std::string bodyOf(const std::string& url, const check::InternetLimits& limits = {})
{
    return check::fetchPage(url, limits).body;
}

class PageFetcherTest : public ::testing::Test {
protected:
    LoopbackServer server;
};

TEST_F(PageFetcherTest, ReturnsWholeBodies)
{
    EXPECT_EQ(bodyOf(server.url("/page")), testsupport::kPageBody);
    // One full read, then a read of 0 bytes.
    const std::string exact = bodyOf(server.url("/bytes/2048"));
    EXPECT_EQ(exact.size(), 2048u);
    EXPECT_EQ(exact.back(), 'a' + 2047 % 26);
    const std::string large = bodyOf(server.url("/bytes/100003"));
    ASSERT_EQ(large.size(), 100003u);
    for (std::size_t i = 0; i < large.size(); i += 4099)
        ASSERT_EQ(large[i], static_cast<char>('a' + i % 26)) << "chunks reassembled out of order at " << i;
}

TEST_F(PageFetcherTest, ErrorPagesAndRedirectsCarryTheirBodies)
{
    EXPECT_EQ(bodyOf(server.url("/error")), testsupport::kErrorBody);
    EXPECT_EQ(bodyOf(server.url("/redirect")), testsupport::kPageBody);
}

TEST_F(PageFetcherTest, EmptyAnswersGiveTheEmptyText)
{
    EXPECT_EQ(bodyOf(server.url("/empty")), "");
    EXPECT_EQ(bodyOf(server.url("/nocontent")), "");
    EXPECT_EQ(bodyOf(server.url("/loop")), "") << "redirect limit";
    EXPECT_EQ(bodyOf(server.url("/to-file")), "") << "redirect to a local file must not be followed";
}

// Text as it lands in the URL box, pasted from elsewhere: what the server is asked for, or no
// request at all and a report of why.
TEST_F(PageFetcherTest, UrlFormsAsTyped)
{
    const std::string port = std::to_string(server.port());
    const std::string site = "http://127.0.0.1:" + port;
    const std::string noRequest;
    const struct {
        std::string typed;
        std::string target;
    } forms[] = {
        {site + "/page ", "/page"},
        {"  " + site + "/page", "/page"},
        {site + "/page\r\n", "/page"},
        {"\t" + site + "/pa\tge\x01", "/page"},
        {site + "/pa\nge", "/page"},
        {site + "/a b", "/a%20b"},
        {site + "/page?q=a b", "/page?q=a%20b"},
        {site + "/page#part two", "/page"},
        {site + "/caf\xc3\xa9", "/caf%c3%a9"},
        {site + "/page?q=\xc3\xa9", "/page?q=\xc3\xa9"},
        {"HTTP://127.0.0.1:" + port + "/page", "/page"},
        {"http://localhost:" + port + "/page", "/page"},
        {"", noRequest},
        {"   ", noRequest},
        {"HTTP://", noRequest},
        {"127.0.0.1:" + port + "/page", noRequest}, // no scheme: never guessed
        {"localhost:" + port + "/page", noRequest},
        {"http://127.0.0.1 :" + port + "/page", noRequest},
        {site + "/page" + std::string(1, '\0') + "x", noRequest},
        {"file:///etc/hostname", noRequest},
        {"telnet://127.0.0.1:" + port + "/", noRequest},
        {"http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/", noRequest},
    };
    for (const auto& form : forms) {
        const std::size_t before = server.requestCount();
        const check::Page page = check::fetchPage(form.typed);
        if (form.target.empty()) {
            EXPECT_EQ(page.body, "") << form.typed;
            EXPECT_EQ(server.requestCount(), before) << form.typed;
            EXPECT_NE(page.report.error, CURLE_OK) << form.typed;
            EXPECT_FALSE(page.report.message.empty()) << form.typed;
            continue;
        }
        EXPECT_FALSE(page.body.empty()) << form.typed;
        EXPECT_EQ(server.requestCount(), before + 1) << form.typed;
        EXPECT_TRUE(server.lastRequestHead().starts_with("GET " + form.target + " HTTP/1.1\r\n"))
            << form.typed << " -> " << server.lastRequestHead();
    }
}

TEST_F(PageFetcherTest, EndlessBodyStopsAtTheCap)
{
    EXPECT_EQ(bodyOf(server.url("/endless")).size(), check::kMaxBodyBytes);
    EXPECT_EQ(bodyOf(server.url("/bytes/40000000")).size(), check::kMaxBodyBytes);
}

TEST_F(PageFetcherTest, ServerThatNeverAnswersTimesOut)
{
    check::InternetLimits limits;
    limits.totalTimeout = std::chrono::milliseconds(400);
    EXPECT_EQ(bodyOf(server.url("/silent"), limits), "");
}

} // namespace
