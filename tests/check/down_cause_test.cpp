#include "check/down_cause.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

namespace {

using namespace check;

// One line for each family of what can go wrong, as the user reads it.
TEST(DownCause, EachFamilyHasItsLine)
{
    const struct {
        CURLcode error;
        const char* proxy;
        bool proxyErrorPage;
        bool offline;
        const char* line;
    } rows[] = {
        {CURLE_COULDNT_RESOLVE_HOST, "", false, false, "The name could not be resolved."},
        {CURLE_COULDNT_CONNECT, "", false, false, "The connection was refused."},
        {CURLE_OPERATION_TIMEDOUT, "", false, false, "No answer within 48 seconds."},
        {CURLE_PEER_FAILED_VERIFICATION, "", false, false, "The site's certificate is not trusted."},
        {CURLE_SSL_CACERT_BADFILE, "", false, false, "The site's certificate is not trusted."},
        {CURLE_OK, "", false, false, "The answer was empty."},
        {CURLE_GOT_NOTHING, "", false, false, "The answer was empty."},
        {CURLE_COULDNT_CONNECT, "http://127.0.0.1:3128", false, false, "The proxy refused the connection."},
        {CURLE_COULDNT_RESOLVE_PROXY, "http://proxy.test:3128", false, false, "The proxy refused the connection."},
        {CURLE_OK, "http://127.0.0.1:3128", true, false, "The proxy could not reach the site."},
        {CURLE_COULDNT_RESOLVE_HOST, "", false, true, "This computer has no network connection."},
        {CURLE_UNSUPPORTED_PROTOCOL, "", false, false, "The address cannot be fetched."},
        {CURLE_URL_MALFORMAT, "", false, false, "The address cannot be fetched."},
        {CURLE_TOO_MANY_REDIRECTS, "", false, false, "The site redirects without end."},
        {CURLE_RECV_ERROR, "", false, false, "The connection failed."},
        {CURLE_SSL_CONNECT_ERROR, "", false, false, "The connection failed."},
    };
    for (const auto& row : rows) {
        Page page;
        page.report.error = row.error;
        page.report.message = curl_easy_strerror(row.error);
        page.report.proxy = row.proxy;
        page.report.proxyErrorPage = row.proxyErrorPage;
        page.network = row.offline ? Reach::Nowhere : Reach::Internet;
        EXPECT_EQ(downCause(page), row.line) << curl_easy_strerror(row.error);
        EXPECT_FALSE(downDetail(page).empty());
    }
}

} // namespace
