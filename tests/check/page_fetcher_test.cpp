#include "loopback_server.h"
#include "page_fetcher.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using check::FetchPage;
using testsupport::LoopbackServer;

class PageFetcherTest : public ::testing::Test {
protected:
    LoopbackServer server;
};

TEST_F(PageFetcherTest, ReturnsWholeBodies)
{
    EXPECT_EQ(FetchPage(server.url("/page")), testsupport::kPageBody);
    // One full read, then a read of 0 bytes.
    const std::string exact = FetchPage(server.url("/bytes/2048"));
    EXPECT_EQ(exact.size(), 2048u);
    EXPECT_EQ(exact.back(), 'a' + 2047 % 26);
    const std::string large = FetchPage(server.url("/bytes/100003"));
    ASSERT_EQ(large.size(), 100003u);
    for (std::size_t i = 0; i < large.size(); i += 4099)
        ASSERT_EQ(large[i], static_cast<char>('a' + i % 26)) << "chunks reassembled out of order at " << i;
}

TEST_F(PageFetcherTest, ErrorPagesAndRedirectsCarryTheirBodies)
{
    EXPECT_EQ(FetchPage(server.url("/error")), testsupport::kErrorBody);
    EXPECT_EQ(FetchPage(server.url("/redirect")), testsupport::kPageBody);
}

TEST_F(PageFetcherTest, EmptyAnswersGiveTheEmptyText)
{
    EXPECT_EQ(FetchPage(server.url("/empty")), "");
    EXPECT_EQ(FetchPage(server.url("/nocontent")), "");
    EXPECT_EQ(FetchPage(server.url("/loop")), "") << "redirect limit";
    EXPECT_EQ(FetchPage(server.url("/to-file")), "") << "redirect to a local file must not be followed";
}

TEST_F(PageFetcherTest, UnfetchableUrlsGiveTheEmptyText)
{
    const std::string port = std::to_string(server.port());
    EXPECT_EQ(FetchPage("http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/"), "");
    EXPECT_EQ(FetchPage("127.0.0.1:" + port + "/page"), "");
    EXPECT_EQ(FetchPage("HTTP://"), "");
    EXPECT_EQ(FetchPage("   "), "");
    EXPECT_EQ(FetchPage("file:///etc/hostname"), "");
}

TEST_F(PageFetcherTest, EndlessBodyStopsAtTheCap)
{
    EXPECT_EQ(FetchPage(server.url("/endless")).size(), check::kMaxBodyBytes);
    EXPECT_EQ(FetchPage(server.url("/bytes/40000000")).size(), check::kMaxBodyBytes);
}

TEST_F(PageFetcherTest, ServerThatNeverAnswersTimesOut)
{
    check::InternetLimits limits;
    limits.totalTimeout = std::chrono::milliseconds(400);
    EXPECT_EQ(FetchPage(server.url("/silent"), limits), "");
}

} // namespace
