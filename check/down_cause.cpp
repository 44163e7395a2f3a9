#include "check/down_cause.h"

#include "check/check_texts.h"

#include <curl/curl.h>

namespace check {

std::string downCause(const Page& page)
{
    const InternetReport& fetch = page.report;
    if (page.offline)
        return std::string(texts::kCauseOffline);
    if (fetch.proxyErrorPage)
        return std::string(texts::kCauseProxyPage);
    const bool viaProxy = !fetch.proxy.empty();
    switch (fetch.error) {
    case CURLE_OK:
    case CURLE_GOT_NOTHING:
        return std::string(texts::kCauseEmpty);
    case CURLE_COULDNT_RESOLVE_HOST:
        return std::string(texts::kCauseUnresolved);
    case CURLE_COULDNT_CONNECT:
        return std::string(viaProxy ? texts::kCauseProxyRefused : texts::kCauseRefused);
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY:
        return std::string(texts::kCauseProxyRefused);
    case CURLE_OPERATION_TIMEDOUT:
        return std::string(texts::kCauseTimedOutOpen) + std::to_string(kCheckBudget.count())
            + std::string(texts::kCauseTimedOutClose);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return std::string(texts::kCauseUntrusted);
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return std::string(texts::kCauseAddress);
    case CURLE_TOO_MANY_REDIRECTS:
        return std::string(texts::kCauseRedirects);
    default:
        return std::string(texts::kCauseFailed);
    }
}

std::string downDetail(const Page& page)
{
    const InternetReport& fetch = page.report;
    if (page.offline)
        return "no network connection until the check's time ran out, after " + (fetch.error != CURLE_OK ? "libcurl error " + std::to_string(fetch.error) + ": " + fetch.message : "an empty answer");
    if (fetch.proxyErrorPage)
        return "the proxy answered with an error page of its own";
    if (fetch.error != CURLE_OK)
        return "libcurl error " + std::to_string(fetch.error) + ": " + fetch.message;
    return "the answer had an empty body";
}

} // namespace check
